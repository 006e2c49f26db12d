#include "demo_speed_profile.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

// Car and driver: grip, brakes, power and drag of a light racing car.
const double kLateralGrip = 20.0;   // m/s^2 at full grip
const double kBrakeGrip = 16.0;     // m/s^2 of braking at full grip
const double kTraction = 11.0;      // m/s^2 the driven wheels can put down
const double kPowerPerMass = 560.0; // W/kg
const double kDrag = 0.0011;        // 1/m: drag deceleration per (m/s)^2
const double kRolling = 0.15;       // m/s^2
const double kPitSpeed = 20.0;      // m/s
const double kTailMetres = 150.0;   // driven past the last line
const double kGridStep = 0.5;       // m, speed profile resolution

double resistance(double v)
{
    return kDrag * v * v + kRolling;
}

double engineAccel(double v, double grip)
{
    return std::min(kTraction * grip, kPowerPerMass / std::max(v, 1.0));
}

// Share of the tyres' grip still free for accelerating or braking when the
// corner takes latAccel of maxLat.
double frictionLeft(double latAccel, double maxLat)
{
    const double used = std::min(1.0, std::fabs(latAccel) / maxLat);
    return std::sqrt(std::max(0.0, 1.0 - used * used));
}

} // namespace

SpeedProfile::SpeedProfile(const Track& track, int laps, unsigned seed) : track(track)
{
    Rng rng(seed);
    lapGrip = lapGrips(laps, rng);
    const int corners = track.segmentCount();
    std::vector<double> jitter(static_cast<size_t>(laps + 2) * corners);
    for (double& j : jitter)
        j = rng.range(0.995, 1.005);

    const double L = track.length();
    endDistance = (laps + 1) * L + kTailMetres;
    const size_t n = static_cast<size_t>(std::ceil((endDistance + 50.0 - kPitBox) / kGridStep)) + 1;
    speed.assign(n, 0.0);
    throttle.assign(n, 0.0);
    brake.assign(n, 0.0);
    std::vector<double> limit(n), grip(n), curv(n);
    for (size_t i = 0; i < n; ++i) {
        const double s = kPitBox + static_cast<double>(i) * kGridStep;
        const int lap = static_cast<int>(s / L);
        const double sLap = s - lap * L;
        const int seg = track.segmentAt(sLap);
        grip[i] = lapGrip[std::min(lap, laps + 1)] * jitter[static_cast<size_t>(std::min(lap, laps + 1)) * corners + seg];
        curv[i] = track.curvature(sLap);
        double v = 90.0;
        if (std::fabs(curv[i]) > 1e-9)
            v = std::min(v, std::sqrt(kLateralGrip * grip[i] / std::fabs(curv[i])));
        if (lap == 0 && sLap < kPitExit)
            v = std::min(v, kPitSpeed);
        limit[i] = v;
    }
    speed[0] = 0.0;
    for (size_t i = 0; i + 1 < n; ++i) {
        const double v = speed[i];
        const double maxLat = kLateralGrip * grip[i];
        const double a = engineAccel(v, grip[i]) * frictionLeft(curv[i] * v * v, maxLat) - resistance(v);
        speed[i + 1] = std::min(limit[i + 1], std::sqrt(std::max(0.0, v * v + 2.0 * a * kGridStep)));
    }
    for (size_t i = n - 1; i-- > 0;) {
        const double v = speed[i + 1];
        const double maxLat = kLateralGrip * grip[i];
        const double a = kBrakeGrip * grip[i] * frictionLeft(curv[i] * v * v, maxLat) + resistance(v);
        speed[i] = std::min(speed[i], std::sqrt(v * v + 2.0 * a * kGridStep));
    }
    // Pedals from the acceleration over each step: throttle against what
    // full throttle would give, brake against a firm (not full) pedal.
    for (size_t i = 0; i + 1 < n; ++i) {
        const double v = speed[i];
        const double a = (speed[i + 1] * speed[i + 1] - v * v) / (2.0 * kGridStep);
        const double net = a + resistance(v);
        if (net >= 0.0) {
            double t = net / engineAccel(v, grip[i]);
            throttle[i] = t > 0.995 ? 1.0 : std::min(1.0, t);
        } else {
            brake[i] = std::min(1.0, -net / (kBrakeGrip * grip[i] / 0.9));
        }
    }
    throttle[n - 1] = throttle[n - 2];
}

// Grip the driver finds on each lap: the out lap on cold tyres, then laps
// that vary, with the second timed lap faster than the first and a later
// one faster again, so that the best lap changes more than once.
std::vector<double> SpeedProfile::lapGrips(int laps, Rng& rng)
{
    std::vector<double> g(static_cast<size_t>(laps) + 2);
    g[0] = 0.86;
    for (int k = 1; k <= laps + 1; ++k)
        g[k] = rng.range(0.88, 0.97);
    if (laps >= 2)
        g[2] = std::max(g[2], g[1] + 0.02);
    if (laps >= 3) {
        int best = 3;
        for (int k = 4; k <= laps; ++k)
            if (g[k] > g[best])
                best = k;
        g[best] = std::max(g[best], g[2] + 0.02);
    }
    return g;
}

// Linear interpolation of a table at distance s from the line, clamped to
// the table's ends.
double SpeedProfile::lerp(const std::vector<double>& table, double s) const
{
    const double pos = std::max(0.0, (s - kPitBox) / kGridStep);
    const size_t i = std::min(static_cast<size_t>(pos), table.size() - 2);
    const double f = std::min(1.0, pos - static_cast<double>(i));
    return table[i] + f * (table[i + 1] - table[i]);
}

} // namespace demo
