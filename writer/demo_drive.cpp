#include "demo_drive.h"

#include <algorithm>
#include <cmath>

#include "demo_synth.h"

namespace demo {

namespace {

const double kDt = 1.0 / DEMO_TICK_RATE;
const double kPitSeconds = 4.0; // standing in the box before going out

} // namespace

// The car stands in the box, pointing along the pit lane.
Drive::Drive(int laps, unsigned seed) : track(demoTrack()), profile(track, laps, seed)
{
    pitSamples = static_cast<long long>(kPitSeconds * DEMO_TICK_RATE);
    state.heading = track.heading(kPitBox);
}

// One sample: standing in the box until the launch, then distance, speed,
// pedals, lap timing and the car's heading on the track.
void Drive::step()
{
    CarState& c = state;
    const double prevSpeed = c.speed;
    const double prevDist = c.distance;
    ++c.tick;
    c.time = c.tick * kDt;
    if (c.tick < pitSamples) {
        c.longAccel = 0.0;
        return;
    }
    if (c.inBox) {
        c.inBox = false;
        c.launchTime = c.time;
    }
    double next = prevDist + kDt * std::max(prevSpeed, 1.0);
    for (int it = 0; it < 40; ++it) {
        const double candidate = prevDist + 0.5 * kDt * (prevSpeed + profile.speedAt(next));
        const bool done = std::fabs(candidate - next) < 1e-10;
        next = candidate;
        if (done)
            break;
    }
    c.distance = next;
    c.speed = profile.speedAt(next);
    c.longAccel = (c.speed - prevSpeed) / kDt;

    // Pedals follow the profile, moved no faster than a foot does.
    const double rate = 8.0 * kDt;
    c.throttle += std::max(-rate, std::min(rate, profile.throttleAt(next) - c.throttle));
    c.brake += std::max(-rate, std::min(rate, profile.brakeAt(next) - c.brake));
    if (profile.throttleAt(next) >= 1.0 && c.throttle > 0.995)
        c.throttle = 1.0;
    c.clutch = std::max(0.0, c.clutch - 1.5 * kDt);

    const double L = track.length();
    const int lap = static_cast<int>(next / L);
    if (lap > c.lap) {
        const double crossing = c.time - kDt + kDt * (lap * L - prevDist) / (next - prevDist);
        c.crossings.push_back(crossing);
        if (c.crossings.size() >= 2) {
            c.lastLapTime = crossing - c.crossings[c.crossings.size() - 2];
            if (c.bestLapTime < 0.0 || c.lastLapTime < c.bestLapTime) {
                c.bestLapTime = c.lastLapTime;
                c.bestLap = lap - 1;
            }
        }
        c.lap = lap;
    }
    c.lapDist = next - c.lap * L;
    c.heading = track.heading(c.lapDist);
    c.curvature = track.curvature(c.lapDist);
    c.latAccel = c.curvature * c.speed * c.speed;
}

} // namespace demo
