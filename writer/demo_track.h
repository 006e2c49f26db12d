// The demo track: a closed loop of straights and corners, about 1.4 km, run
// counter-clockwise, with the start/finish line at distance 0 on the main
// straight; and the small generator every part of the demo draws from.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

const double kPi = 3.14159265358979323846;

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

// The track with its heading and curvature tabulated along the lap.
class Track {
public:
    Track();

    double length() const { return total; }

    // Direction of travel in radians, counter-clockwise from the x axis,
    // continuous over the lap (2 pi at its end).
    double heading(double s) const { return lerp(headings, s); }
    double curvature(double s) const { return lerp(curvatures, s); }
    // Index of the segment at distance s into the lap.
    int segmentAt(double s) const;
    int segmentCount() const { return static_cast<int>(segments.size()); }

private:
    void displacement(double& x, double& y) const;
    void closeLoop();
    void tabulate();
    double lerp(const std::vector<double>& table, double s) const;

    std::vector<Segment> segments;
    std::vector<double> headings;
    std::vector<double> curvatures;
    double total = 0.0;
    double step = 0.25;
};

// The one demo track, built on first use.
const Track& demoTrack();

} // namespace demo
