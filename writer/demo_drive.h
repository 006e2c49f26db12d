// The demo car driven through the session one sample at a time: out of the
// pit box, along the speed profile, with its lap timing.
#pragma once

#include <vector>

#include "demo_speed_profile.h"
#include "demo_track.h"

namespace demo {

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
    Drive(int laps, unsigned seed);

    const CarState& car() const { return state; }
    bool finished() const { return state.distance >= profile.distanceEnd(); }
    double lapLength() const { return track.length(); }

    // Advances one sample. The distance step is the trapezoid of the speeds at
    // both ends, solved for the new end, so that integrating the recorded
    // speeds gives back the distance driven.
    void step();

private:
    const Track& track;
    SpeedProfile profile;
    CarState state;
    long long pitSamples = 0;
};

} // namespace demo
