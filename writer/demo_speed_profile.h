// Speed and pedals along the whole demo drive, as a function of distance
// from the pit box, and the pit lane they start in.
#pragma once

#include <vector>

#include "demo_track.h"

namespace demo {

const double kPitBox = 20.0;   // m past the line
const double kPitExit = 200.0; // m past the line, end of the speed limit

// Speed and pedals along the whole drive, as a function of distance from the
// pit box: the fastest the car can go given the corners ahead and behind
// (a forward pass limited by traction and power, a backward pass limited by
// braking, both sharing the tyres' grip with cornering), for the grip the
// driver finds on each lap and in each corner.
class SpeedProfile {
public:
    SpeedProfile(const Track& track, int laps, unsigned seed);

    // Distance from the line at which the drive ends, past the last lap.
    double distanceEnd() const { return endDistance; }

    double speedAt(double s) const { return lerp(speed, s); }
    double throttleAt(double s) const { return lerp(throttle, s); }
    double brakeAt(double s) const { return lerp(brake, s); }

private:
    static std::vector<double> lapGrips(int laps, Rng& rng);
    double lerp(const std::vector<double>& table, double s) const;

    const Track& track;
    std::vector<double> lapGrip;
    std::vector<double> speed;
    std::vector<double> throttle;
    std::vector<double> brake;
    double endDistance = 0.0;
};

} // namespace demo
