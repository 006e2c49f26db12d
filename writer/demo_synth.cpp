#include "demo_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "ibt_writer.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kDt = 1.0 / DEMO_TICK_RATE;

// Small deterministic generator (splitmix64), the same on every platform.
class Rng {
public:
    explicit Rng(unsigned seed) : state(0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(seed) << 17 | seed)) {}
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

private:
    uint64_t state;
};

// One piece of the track: a straight (angle 0) or a corner turning by
// `angle` radians (positive to the left) at `radius`, entered and left over
// a curvature ramp so that the steering moves smoothly.
struct Segment {
    double length; // straights only; corners derive theirs
    double angle;
    double radius;
    bool freeLength; // solved so that the loop closes
};

const double kRampLength = 12.0;

double segmentLength(const Segment& seg)
{
    if (seg.angle == 0.0)
        return seg.length;
    return std::fabs(seg.angle) * seg.radius + kRampLength;
}

// Curvature at distance u into a segment.
double segmentCurvature(const Segment& seg, double u)
{
    if (seg.angle == 0.0)
        return 0.0;
    const double k = (seg.angle > 0 ? 1.0 : -1.0) / seg.radius;
    const double total = segmentLength(seg);
    return k * std::min(1.0, std::min(u / kRampLength, (total - u) / kRampLength));
}

// The demo track: a closed loop of straights and corners, about 1.4 km, run
// counter-clockwise, with the start/finish line at distance 0 on the main
// straight. Heading and curvature are tabulated along the lap.
class Track {
public:
    Track()
    {
        segments = {
            {0.0, 0.0, 0.0, true},          // main straight
            {0.0, kPi / 2, 30.0, false},    // turn 1
            {90.0, 0.0, 0.0, false},
            {0.0, kPi / 4, 60.0, false},    // turn 2
            {70.0, 0.0, 0.0, false},
            {0.0, -kPi / 4, 80.0, false},   // the kink, to the right
            {50.0, 0.0, 0.0, false},
            {0.0, kPi / 2, 40.0, false},    // turn 4
            {180.0, 0.0, 0.0, false},       // back straight
            {0.0, kPi / 2, 50.0, false},    // turn 5
            {0.0, 0.0, 0.0, true},          // the run down to the last turn
            {0.0, kPi / 2, 25.0, false},    // last turn
            {40.0, 0.0, 0.0, false},
        };
        closeLoop();
        tabulate();
    }

    double length() const { return total; }

    // Direction of travel in radians, counter-clockwise from the x axis,
    // continuous over the lap (2 pi at its end).
    double heading(double s) const { return lerp(headings, s); }
    double curvature(double s) const { return lerp(curvatures, s); }
    int segmentAt(double s) const
    {
        double start = 0.0;
        for (size_t i = 0; i < segments.size(); ++i) {
            start += segmentLength(segments[i]);
            if (s < start)
                return static_cast<int>(i);
        }
        return static_cast<int>(segments.size()) - 1;
    }
    int segmentCount() const { return static_cast<int>(segments.size()); }
    int cornerCount() const
    {
        int n = 0;
        for (const Segment& seg : segments)
            n += seg.angle != 0.0;
        return n;
    }

private:
    // End point of the loop when it starts at the origin heading along x.
    void displacement(double& x, double& y) const
    {
        x = y = 0.0;
        double phi = 0.0;
        for (const Segment& seg : segments) {
            const double len = segmentLength(seg);
            if (seg.angle == 0.0) {
                x += len * std::cos(phi);
                y += len * std::sin(phi);
                continue;
            }
            const int n = 2000;
            const double h = len / n;
            for (int i = 0; i < n; ++i) {
                const double u = (i + 0.5) * h;
                const double k = segmentCurvature(seg, u);
                phi += 0.5 * k * h;
                x += h * std::cos(phi);
                y += h * std::sin(phi);
                phi += 0.5 * k * h;
            }
        }
    }

    // Chooses the two free straights' lengths so that the loop ends where it began.
    void closeLoop()
    {
        double dirs[2][2];
        int freeIdx[2];
        int found = 0;
        double phi = 0.0;
        for (size_t i = 0; i < segments.size(); ++i) {
            if (segments[i].freeLength && found < 2) {
                dirs[found][0] = std::cos(phi);
                dirs[found][1] = std::sin(phi);
                freeIdx[found++] = static_cast<int>(i);
            }
            phi += segments[i].angle;
        }
        double x, y;
        displacement(x, y);
        // a * d0 + b * d1 = -(x, y)
        const double det = dirs[0][0] * dirs[1][1] - dirs[0][1] * dirs[1][0];
        const double a = (-x * dirs[1][1] + y * dirs[1][0]) / det;
        const double b = (-y * dirs[0][0] + x * dirs[0][1]) / det;
        segments[freeIdx[0]].length = a;
        segments[freeIdx[1]].length = b;
    }

    void tabulate()
    {
        total = 0.0;
        for (const Segment& seg : segments)
            total += segmentLength(seg);
        const int n = static_cast<int>(std::ceil(total / 0.25));
        step = total / n;
        curvatures.assign(static_cast<size_t>(n) + 1, 0.0);
        headings.assign(static_cast<size_t>(n) + 1, 0.0);
        size_t seg = 0;
        double segStart = 0.0;
        for (int j = 0; j <= n; ++j) {
            const double s = j * step;
            while (seg + 1 < segments.size() && s >= segStart + segmentLength(segments[seg])) {
                segStart += segmentLength(segments[seg]);
                ++seg;
            }
            curvatures[j] = segmentCurvature(segments[seg], std::min(s - segStart, segmentLength(segments[seg])));
        }
        for (int j = 1; j <= n; ++j)
            headings[j] = headings[j - 1] + 0.5 * step * (curvatures[j - 1] + curvatures[j]);
    }

    double lerp(const std::vector<double>& table, double s) const
    {
        const double pos = std::max(0.0, std::min(s, total)) / step;
        const size_t i = std::min(static_cast<size_t>(pos), table.size() - 2);
        const double f = pos - static_cast<double>(i);
        return table[i] + f * (table[i + 1] - table[i]);
    }

    std::vector<Segment> segments;
    std::vector<double> headings;
    std::vector<double> curvatures;
    double total = 0.0;
    double step = 0.25;
};

const Track& demoTrack()
{
    static const Track track;
    return track;
}

// Car and driver: grip, brakes, power and drag of a light racing car.
const double kLateralGrip = 20.0;   // m/s^2 at full grip
const double kBrakeGrip = 16.0;     // m/s^2 of braking at full grip
const double kTraction = 11.0;      // m/s^2 the driven wheels can put down
const double kPowerPerMass = 560.0; // W/kg
const double kDrag = 0.0011;        // 1/m: drag deceleration per (m/s)^2
const double kRolling = 0.15;       // m/s^2
const double kPitBox = 20.0;        // m past the line
const double kPitExit = 200.0;      // m past the line, end of the speed limit
const double kPitSpeed = 20.0;      // m/s
const double kPitSeconds = 4.0;     // standing in the box before going out
const double kTailMetres = 150.0;   // driven past the last line
const double kGridStep = 0.5;       // m, speed profile resolution
const double kGearTop[] = {16.0, 24.0, 32.0, 41.0, 51.0, 66.0};
const int kGears = 6;
const double kShiftRpm = 7800.0;
const double kIdleRpm = 900.0;
const int kCars = 64;
const int kOpponents = 11;

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

// Speed and pedals along the whole drive, as a function of distance from the
// pit box: the fastest the car can go given the corners ahead and behind
// (a forward pass limited by traction and power, a backward pass limited by
// braking, both sharing the tyres' grip with cornering), for the grip the
// driver finds on each lap and in each corner.
class SpeedProfile {
public:
    SpeedProfile(const Track& track, int laps, unsigned seed) : track(track)
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

    double distanceEnd() const { return endDistance; }

    double speedAt(double s) const { return lerp(speed, s); }
    double throttleAt(double s) const { return lerp(throttle, s); }
    double brakeAt(double s) const { return lerp(brake, s); }

private:
    // Grip the driver finds on each lap: the out lap on cold tyres, then laps
    // that vary, with the second timed lap faster than the first and a later
    // one faster again, so that the best lap changes more than once.
    static std::vector<double> lapGrips(int laps, Rng& rng)
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

    double lerp(const std::vector<double>& table, double s) const
    {
        const double pos = std::max(0.0, (s - kPitBox) / kGridStep);
        const size_t i = std::min(static_cast<size_t>(pos), table.size() - 2);
        const double f = std::min(1.0, pos - static_cast<double>(i));
        return table[i] + f * (table[i + 1] - table[i]);
    }

    const Track& track;
    std::vector<double> lapGrip;
    std::vector<double> speed;
    std::vector<double> throttle;
    std::vector<double> brake;
    double endDistance = 0.0;
};

// One sample of the car.
struct CarState {
    long long tick = 0;
    double time = 0.0;
    double distance = kPitBox; // from the line at the start of the out lap
    double speed = 0.0;
    double throttle = 0.0;
    double brake = 0.0;
    double clutch = 1.0;
    bool inBox = true;
    int lap = 0;
    double lapDist = kPitBox;
    double heading = 0.0;   // direction of travel, counter-clockwise from x
    double curvature = 0.0;
    double latAccel = 0.0;
    double longAccel = 0.0;
    // Lap timing.
    double launchTime = 0.0;
    std::vector<double> crossings; // crossing k-1 at crossings[k-1]
    double lastLapTime = -1.0;
    double bestLapTime = -1.0;
    int bestLap = 0;
};

// Steps the car through the session one sample at a time.
class Drive {
public:
    Drive(int laps, unsigned seed) : track(demoTrack()), profile(track, laps, seed)
    {
        pitSamples = static_cast<long long>(kPitSeconds * DEMO_TICK_RATE);
        state.heading = track.heading(kPitBox);
    }

    const CarState& car() const { return state; }
    bool finished() const { return state.distance >= profile.distanceEnd(); }
    double lapLength() const { return track.length(); }

    // Advances one sample. The distance step is the trapezoid of the speeds at
    // both ends, solved for the new end, so that integrating the recorded
    // speeds gives back the distance driven.
    void step()
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

private:
    const Track& track;
    SpeedProfile profile;
    CarState state;
    long long pitSamples = 0;
};

double wrapTwoPi(double a)
{
    a = std::fmod(a, 2.0 * kPi);
    return a < 0.0 ? a + 2.0 * kPi : a;
}

double wrapPi(double a)
{
    a = wrapTwoPi(a + kPi);
    return a - kPi;
}

// A filler channel: a slowly varying value around `base`.
struct Filler {
    int idx;
    double base;
    double amplitude;
    double omega;
    double phase;
};

// The variables of a demo recording and the writing of one sample.
class DemoRecorder {
public:
    DemoRecorder(IbtWriter& w, unsigned seed) : w(w), rng(seed ^ 0x5bd1e995u)
    {
        sessionTime = w.addVar("SessionTime", irsdk_double);
        sessionTick = w.addVar("SessionTick", irsdk_int);
        sessionNum = w.addVar("SessionNum", irsdk_int);
        sessionTimeRemain = w.addVar("SessionTimeRemain", irsdk_double);
        isOnTrack = w.addVar("IsOnTrack", irsdk_bool);
        onPitRoad = w.addVar("OnPitRoad", irsdk_bool);
        throttle = w.addVar("Throttle", irsdk_float);
        brake = w.addVar("Brake", irsdk_float);
        clutch = w.addVar("Clutch", irsdk_float);
        speed = w.addVar("Speed", irsdk_float);
        rpm = w.addVar("RPM", irsdk_float);
        gear = w.addVar("Gear", irsdk_int);
        steering = w.addVar("SteeringWheelAngle", irsdk_float);
        lap = w.addVar("Lap", irsdk_int);
        lapCompleted = w.addVar("LapCompleted", irsdk_int);
        lapDist = w.addVar("LapDist", irsdk_float);
        lapDistPct = w.addVar("LapDistPct", irsdk_float);
        lapCurrent = w.addVar("LapCurrentLapTime", irsdk_float);
        lapLast = w.addVar("LapLastLapTime", irsdk_float);
        lapBest = w.addVar("LapBestLapTime", irsdk_float);
        lapBestLap = w.addVar("LapBestLap", irsdk_int);
        delta = w.addVar("LapDeltaToSessionBestLap", irsdk_float);
        deltaOk = w.addVar("LapDeltaToSessionBestLap_OK", irsdk_bool);
        velX = w.addVar("VelocityX", irsdk_float);
        velY = w.addVar("VelocityY", irsdk_float);
        velZ = w.addVar("VelocityZ", irsdk_float);
        yawNorth = w.addVar("YawNorth", irsdk_float);
        yaw = w.addVar("Yaw", irsdk_float);
        yawRate = w.addVar("YawRate", irsdk_float);
        latAccel = w.addVar("LatAccel", irsdk_float);
        longAccel = w.addVar("LongAccel", irsdk_float);
        carPct = w.addVar("CarIdxLapDistPct", irsdk_float, kCars);
        carPit = w.addVar("CarIdxOnPitRoad", irsdk_bool, kCars);
        addFillers();

        for (int j = 0; j < kOpponents; ++j) {
            opponentLap[j] = rng.range(33.0, 38.0);
            opponentPhase[j] = rng.uniform();
        }
    }

    void write(const CarState& c, double lapLength)
    {
        w.beginRecord();
        const bool onTrack = !c.inBox;
        const bool pitRoad = c.lap == 0 && c.lapDist < kPitExit;
        w.set(sessionTime, c.time);
        w.setInt(sessionTick, static_cast<int>(c.tick));
        w.setInt(sessionNum, 0);
        w.set(sessionTimeRemain, std::max(0.0, 3600.0 - c.time));
        w.setInt(isOnTrack, onTrack ? 1 : 0);
        w.setInt(onPitRoad, pitRoad ? 1 : 0);
        w.set(throttle, c.throttle);
        w.set(brake, c.brake);
        w.set(clutch, c.clutch);
        w.set(speed, c.speed);

        int g = 0;
        double revs = kIdleRpm;
        if (onTrack) {
            g = 1;
            while (g < kGears && c.speed > kGearTop[g - 1])
                ++g;
            revs = std::max(kIdleRpm + 1500.0 * c.throttle, kShiftRpm * c.speed / kGearTop[g - 1]);
        }
        w.setInt(gear, g);
        w.set(rpm, revs);
        // A steering ratio of 14 on a 2.8 m wheelbase; positive to the left.
        w.set(steering, 14.0 * std::atan(2.8 * c.curvature));

        w.setInt(lap, c.lap);
        w.setInt(lapCompleted, std::max(0, c.lap - 1));
        w.set(lapDist, c.lapDist);
        w.set(lapDistPct, c.lapDist / lapLength);
        const double lapStart = c.crossings.empty() ? c.launchTime : c.crossings.back();
        const double current = c.inBox ? 0.0 : c.time - lapStart;
        w.set(lapCurrent, current);
        w.set(lapLast, c.lastLapTime);
        w.set(lapBest, c.bestLapTime);
        w.setInt(lapBestLap, c.bestLap);
        updateDeltaTables(c, current, lapLength);
        const bool timed = c.lap >= 1 && !bestTable.empty();
        double d = 0.0;
        if (timed) {
            const size_t m = std::min(bestTable.size() - 1, static_cast<size_t>(c.lapDist));
            d = current - bestTable[m];
        }
        w.set(delta, d);
        w.setInt(deltaOk, timed ? 1 : 0);

        // The car's body points a little inside the path in a corner (the rear
        // slides), so the velocity has a lateral part; the body heading plus
        // the velocity's angle in the car's frame is always the direction of
        // travel. YawNorth is a compass heading: clockwise from north (+y).
        const double slip = 0.0025 * c.latAccel;
        const double body = c.heading + slip;
        w.set(velX, c.speed * std::cos(slip));
        w.set(velY, -c.speed * std::sin(slip));
        w.set(velZ, onTrack ? 0.04 * std::sin(c.distance * 0.17) + 0.02 * std::sin(c.distance * 0.61) : 0.0);
        w.set(yawNorth, wrapTwoPi(kPi / 2 - body));
        w.set(yaw, wrapPi(body));
        w.set(yawRate, c.curvature * c.speed);
        w.set(latAccel, c.latAccel);
        w.set(longAccel, c.longAccel);

        w.set(carPct, c.lapDist / lapLength, 0);
        w.setInt(carPit, pitRoad ? 1 : 0, 0);
        for (int j = 0; j < kOpponents; ++j) {
            const double pos = opponentPhase[j] + c.time / opponentLap[j];
            w.set(carPct, pos - std::floor(pos), j + 1);
        }
        for (int j = kOpponents + 1; j < kCars; ++j)
            w.set(carPct, -1.0, j);

        for (const Filler& f : fillers)
            w.set(f.idx, f.base + f.amplitude * std::sin(f.omega * c.time + f.phase));
        for (const Filler& f : constants)
            w.set(f.idx, f.base);
        w.endRecord();
    }

private:
    // Keeps the time at every metre of the lap in progress, and the table of
    // the best lap so far for the delta.
    void updateDeltaTables(const CarState& c, double current, double lapLength)
    {
        if (c.lap != tableLap) {
            if (tableLap >= 1 && c.bestLap == tableLap)
                bestTable = lapTable;
            lapTable.assign(static_cast<size_t>(lapLength) + 1, 0.0);
            tableLap = c.lap;
            filledTo = 0;
        }
        const size_t m = std::min(lapTable.size() - 1, static_cast<size_t>(c.lapDist));
        while (filledTo <= m)
            lapTable[filledTo++] = current;
    }

    // Filler channels that make the table and the record the size of a real
    // one: per-wheel tyre, suspension and brake readings, engine and
    // environment readings, driver controls and status flags.
    void addFillers()
    {
        const char* wheels[] = {"LF", "RF", "LR", "RR"};
        const char* wheelChannels[] = {"TyreTempInner", "TyreTempMiddle", "TyreTempOuter", "TyreSurfaceTempInner",
            "TyreSurfaceTempMiddle", "TyreSurfaceTempOuter", "TyrePressure", "TyreColdPressure", "TyreWearInner",
            "TyreWearMiddle", "TyreWearOuter", "RideHeight", "SuspTravel", "SuspVelocity", "BrakeTemp",
            "BrakePressure", "WheelSpeed", "WheelLoad", "Camber", "ToeAngle"};
        for (const char* ch : wheelChannels)
            for (const char* wh : wheels)
                addFiller(std::string(ch) + wh, irsdk_float, rng.range(20.0, 120.0), rng.range(0.5, 5.0));

        const char* engine[] = {"WaterTemp", "OilTemp", "OilPressure", "OilLevel", "FuelLevel", "FuelLevelPct",
            "FuelPressure", "FuelUsePerHour", "BatteryVoltage", "ManifoldPressure", "WaterLevel", "EngineTorque",
            "TurboBoost", "ExhaustTemp", "GearboxTemp", "DiffTemp", "ShiftLightPct", "HybridCharge",
            "HybridDeploy", "ClutchTemp"};
        for (const char* ch : engine)
            addFiller(ch, irsdk_float, rng.range(1.0, 100.0), rng.range(0.1, 2.0));

        const char* world[] = {"AirTemp", "TrackTemp", "AirDensity", "AirPressure", "WindSpeed", "WindDirection",
            "Humidity", "FogLevel", "Pitch", "Roll", "PitchRate", "RollRate", "VertAccel", "Altitude",
            "SunAngle", "TrackGrip", "TrackWetness", "Precipitation"};
        for (const char* ch : world)
            addFiller(ch, irsdk_float, rng.range(0.0, 30.0), rng.range(0.01, 0.5));

        const char* controls[] = {"CtrlBrakeBias", "CtrlAbsLevel", "CtrlTractionLevel", "CtrlTractionSlip",
            "CtrlEngineMap", "CtrlFuelMix", "CtrlThrottleMap", "CtrlAntiRollFront", "CtrlAntiRollRear",
            "CtrlDiffEntry", "CtrlDiffMiddle", "CtrlDiffExit", "CtrlWeightJacker", "CtrlBoostLevel",
            "CtrlDashPage", "CtrlLaunchRpm"};
        for (const char* ch : controls)
            addFiller(ch, irsdk_float, rng.range(1.0, 10.0), 0.0);

        const char* counters[] = {"SessionState", "SessionFlags", "SessionUniqueId", "CameraCarIdx", "CameraNumber",
            "CameraGroup", "ReplayFrame", "ReplayFrameEnd", "PlayerPosition", "PlayerClassPosition", "PlayerCarIdx",
            "PlayerSurface", "PlayerSurfaceMaterial", "DisplayUnits", "EngineWarnings", "PitServiceFlags",
            "LapStatus", "RadioCarIdx", "RaceLaps", "IncidentCount", "TeamIncidentCount", "FastRepairsUsed",
            "CarClassId", "PaceMode"};
        for (const char* ch : counters)
            addFiller(ch, irsdk_int, static_cast<double>(rng.next() % 20), 0.0);

        const char* flags[] = {"IsInGarage", "IsReplayPlaying", "IsLoggingEnabled", "IsLoggingActive",
            "DriverMarker", "PushToPass", "BoostActive", "PitsOpen", "AbsActive", "TractionActive",
            "PitLimiterOn", "StarterOn", "HeadlightsOn", "WipersOn", "RainLightOn", "IgnitionOn", "StallWarning",
            "RevLimiterActive", "FlagGreen", "FlagYellow", "FlagBlue", "FlagCheckered", "OnFinalLap",
            "InPitStall", "PitServiceActive", "FuelService", "TyreService", "WindscreenService", "RepairNeeded",
            "TowRequested", "ChatActive", "CameraDriving", "FlagWhite", "FlagBlack", "FlagDebris", "FlagCaution",
            "SpotterCarLeft", "SpotterCarRight", "SpotterClear", "TrackLimitWarning", "MeatballFlag"};
        for (const char* ch : flags)
            addFiller(ch, irsdk_bool, static_cast<double>(rng.next() % 2), 0.0);

        const char* splits[] = {"LapDeltaToBestLap", "LapDeltaToOptimalLap", "LapDeltaToSessionLastLap",
            "LapDeltaToSessionOptimalLap", "LapDeltaToBestLapRate", "LapDeltaToOptimalLapRate",
            "LapDeltaToSessionLastLapRate", "LapDeltaToSessionOptimalLapRate", "SectorTime1", "SectorTime2",
            "SectorTime3", "SectorBest1", "SectorBest2", "SectorBest3"};
        for (const char* ch : splits)
            addFiller(ch, irsdk_float, 0.0, rng.range(0.05, 0.5));

        const char* doubles[] = {"SessionTimeTotal", "SessionTimeOfDay", "Latitude", "Longitude"};
        for (const char* ch : doubles)
            addFiller(ch, irsdk_double, rng.range(1000.0, 50000.0), 0.0);
    }

    void addFiller(const std::string& name, int type, double base, double amplitude)
    {
        Filler f;
        f.idx = w.addVar(name, type);
        f.base = base;
        f.amplitude = amplitude;
        f.omega = rng.range(0.05, 0.6);
        f.phase = rng.range(0.0, 2.0 * kPi);
        if (type == irsdk_float || type == irsdk_double)
            fillers.push_back(f);
        else
            constants.push_back(f);
    }

    IbtWriter& w;
    Rng rng;
    int sessionTime, sessionTick, sessionNum, sessionTimeRemain, isOnTrack, onPitRoad;
    int throttle, brake, clutch, speed, rpm, gear, steering;
    int lap, lapCompleted, lapDist, lapDistPct, lapCurrent, lapLast, lapBest, lapBestLap, delta, deltaOk;
    int velX, velY, velZ, yawNorth, yaw, yawRate, latAccel, longAccel, carPct, carPit;
    std::vector<Filler> fillers;
    std::vector<Filler> constants;
    double opponentLap[kOpponents];
    double opponentPhase[kOpponents];
    std::vector<double> lapTable;
    std::vector<double> bestTable;
    int tableLap = -1;
    size_t filledTo = 0;
};

std::string lapTimeText(double t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", t);
    return buf;
}

// The session-info text: indented sections, dash lists of drivers, results
// and sectors, CR LF line ends, as a simulator writes it.
std::string sessionText(const std::vector<double>& lapTimes, unsigned seed)
{
    std::string t;
    auto line = [&t](const std::string& s) { t += s; t += "\r\n"; };
    const double lengthKm = demoTrackLength() / 1000.0;
    char buf[64];

    line("---");
    line("WeekendInfo:");
    line(" TrackName: demo_ring");
    line(" TrackID: 1");
    std::snprintf(buf, sizeof buf, " TrackLength: %.2f km", lengthKm);
    line(buf);
    line(" TrackDisplayName: Demo Ring");
    line(" TrackDisplayShortName: Demo");
    line(" TrackConfigName: Short");
    line(" TrackCity: Nowhere");
    line(" TrackCountry: Testland");
    line(" TrackNumTurns: 6");
    line(" TrackPitSpeedLimit: 72.00 kph");
    line(" TrackType: road course");
    line(" TrackSurfaceTemp: 31.20 C");
    line(" TrackAirTemp: 22.40 C");
    line(" SessionID: 0");
    std::snprintf(buf, sizeof buf, " Seed: %u", seed);
    line(buf);
    line(" WeekendOptions:");
    line("  NumStarters: 12");
    line("  StartingGrid: 2x2 inline pole on left");
    line("  Unofficial: 1");
    line("  TimeOfDay: 2:00 pm");
    line("  Date: 2024-05-18");
    line(" TelemetryOptions:");
    line("  TelemetryDiskFile: \"\"");

    line("SessionInfo:");
    line(" Sessions:");
    line(" - SessionNum: 0");
    line("   SessionLaps: unlimited");
    line("   SessionTime: 3600.0000 sec");
    line("   SessionType: Practice");
    line("   SessionName: PRACTICE");
    line("   ResultsPositions:");
    double best = -1.0;
    int bestLap = 0;
    for (size_t i = 0; i < lapTimes.size(); ++i)
        if (best < 0.0 || lapTimes[i] < best) {
            best = lapTimes[i];
            bestLap = static_cast<int>(i) + 1;
        }
    line("   - Position: 1");
    line("     CarIdx: 0");
    line("     Lap: " + std::to_string(lapTimes.size()));
    line("     FastestLap: " + std::to_string(bestLap));
    line("     FastestTime: " + lapTimeText(best));
    line("     LastTime: " + lapTimeText(lapTimes.empty() ? -1.0 : lapTimes.back()));
    line("     LapsComplete: " + std::to_string(lapTimes.size()));

    line("CameraInfo:");
    line(" Groups:");
    const char* cameras[] = {"Nose", "Gearbox", "Roll Bar", "Chase", "Far Chase", "Cockpit", "Blimp"};
    for (int i = 0; i < 7; ++i) {
        line(" - GroupNum: " + std::to_string(i + 1));
        line("   GroupName: " + std::string(cameras[i]));
        line("   Cameras:");
        line("   - CameraNum: 1");
        line("     CameraName: CamMain");
    }

    line("DriverInfo:");
    line(" DriverCarIdx: 0");
    line(" DriverCarRedLine: 8000.000");
    line(" DriverCarFuelMaxLtr: 60.000");
    line(" DriverCarSLShiftRPM: 7800.000");
    line(" Drivers:");
    const char* names[] = {"Demo Driver", "Alex Moreau", "Bea Lindqvist", "Carl Okafor", "Dana Ruiz",
        "Emil Novak", "Fia Tanaka", "Gus Ferreira", "Hana Kowalska", "Ivo Petrov", "Jo Mbeki", "Kai Andersen"};
    for (int i = 0; i <= kOpponents; ++i) {
        line(" - CarIdx: " + std::to_string(i));
        line("   UserName: " + std::string(names[i]));
        line("   AbbrevName: " + std::string(names[i]).substr(0, 1) + ". " + std::string(names[i]).substr(std::string(names[i]).find(' ') + 1));
        line("   UserID: " + std::to_string(1000 + 37 * i));
        line("   CarNumber: \"" + std::to_string(7 + 3 * i) + "\"");
        line("   CarClassID: 1");
        line("   CarScreenName: Demo Formula");
        line("   CarClassShortName: DF");
        line("   TeamName: " + std::string(i == 0 ? "Demo Racing" : "Privateer"));
        line("   Rating: " + std::to_string(1500 + 113 * i));
        line("   IsSpectator: 0");
    }

    line("SplitTimeInfo:");
    line(" Sectors:");
    const double starts[] = {0.0, 0.34, 0.67};
    for (int i = 0; i < 3; ++i) {
        line(" - SectorNum: " + std::to_string(i));
        std::snprintf(buf, sizeof buf, "   SectorStartPct: %.6f", starts[i]);
        line(buf);
    }

    line("CarSetup:");
    line(" UpdateCount: 1");
    line(" Tires:");
    const char* corners[] = {"LeftFront", "RightFront", "LeftRear", "RightRear"};
    for (const char* c : corners) {
        line(std::string("  ") + c + ":");
        line("   ColdPressure: 165 kPa");
        line("   LastHotPressure: 182 kPa");
        line("   TreadRemaining: 100%, 100%, 100%");
    }
    line(" Chassis:");
    line("  Front:");
    line("   BrakeBias: 56.0%");
    line("   ArbSetting: 3");
    line("  Rear:");
    line("   FuelLevel: 30.0 L");
    line("   WingAngle: 8.5 deg");
    line("...");
    return t;
}

// Drives a session and writes it, stopping after `maxRecords` samples when
// that is not negative.
bool writeSession(const std::string& path, int laps, unsigned seed, long long maxRecords)
{
    if (laps < 1)
        return false;
    const std::vector<double> times = demoLapTimes(laps, seed);
    IbtWriter w;
    DemoRecorder recorder(w, seed);
    w.setSessionText(sessionText(times, seed));
    if (!w.openStream(path))
        return false;
    Drive drive(laps, seed);
    long long written = 0;
    while (maxRecords < 0 ? !drive.finished() : written < maxRecords) {
        recorder.write(drive.car(), drive.lapLength());
        ++written;
        drive.step();
    }
    return w.closeStream();
}

} // namespace

double demoTrackLength()
{
    return demoTrack().length();
}

std::vector<double> demoLapTimes(int laps, unsigned seed)
{
    std::vector<double> times;
    if (laps < 1)
        return times;
    Drive drive(laps, seed);
    size_t seen = 0;
    while (!drive.finished()) {
        drive.step();
        const CarState& c = drive.car();
        if (c.crossings.size() != seen) {
            seen = c.crossings.size();
            if (seen >= 2)
                times.push_back(c.lastLapTime);
        }
    }
    return times;
}

bool writeDemoSession(const std::string& path, int laps, unsigned seed)
{
    return writeSession(path, laps, seed, -1);
}

bool writeDemoRecords(const std::string& path, long long records, unsigned seed)
{
    if (records < 0)
        return false;
    // Laps of at least 25 s, with room for the pit stop and the tail.
    const long long laps = records / (25 * DEMO_TICK_RATE) + 2;
    if (laps > 1000000)
        return false;
    return writeSession(path, static_cast<int>(laps), seed, records);
}
