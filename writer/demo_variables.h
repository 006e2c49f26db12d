// The variables of a demo recording, the size of a real table, and the
// writing of one sample of the car into a record.
#pragma once

#include <string>
#include <vector>

#include "demo_drive.h"
#include "demo_track.h"
#include "ibt_writer.h"

namespace demo {

// Cars running laps besides the driven one.
const int kOpponents = 11;

// A filler channel: a slowly varying value around `base`.
struct Filler {
    int idx;
    double base;
    double amplitude;
    double omega;
    double phase;
};

// The table of variables, and the writing of records into it.
class DemoRecorder {
public:
    // Adds every variable to the writer's table.
    DemoRecorder(IbtWriter& w, unsigned seed);

    // Writes one record of the car at its current sample.
    void write(const CarState& c, double lapLength);

private:
    void updateDeltaTables(const CarState& c, double current, double lapLength);
    void addFillers();
    void addFiller(const std::string& name, int type, double base, double amplitude);

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

} // namespace demo
