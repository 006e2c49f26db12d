// Time into the lap, measured from the start line, and the lap tables that
// carry it: one definition for the live delta overlay, the kept reference
// laps and the ibt tool's lap times, deltas and comparisons.
//
// The start line is where the lap-distance fraction wraps from near 1 (above
// 0.9) to near 0 (below 0.1) between two samples. The moment of the crossing
// is interpolated linearly between those two samples, as if the fraction ran
// on past 1: for (t0, p0) before and (t1, p1) after the wrap it is
// t0 + (t1 - t0) (1 - p0) / (1 - p0 + p1), not the time of the sample after
// it. Time into the lap is the time since that crossing. Time at any fraction
// of a lap is interpolated the same way, linearly between the lap's samples
// on either side of it, with the line itself at fraction 0 (time 0) and at
// fraction 1 (the lap's time from line to line).
#pragma once

#include <cstddef>
#include <vector>

// One point of a lap's table, by its fraction of the lap.
struct LapPoint {
    float pct = 0.0f;      // lap-distance fraction, ascending through the table
    float throttle = 0.0f; // 0 to 1
    float brake = 0.0f;    // 0 to 1
    float time = 0.0f;     // seconds since the lap's start line
    float speed = 0.0f;    // m/s
};

// Whether the fraction wrapped from near 1 to near 0 between two samples.
bool crossesLine(float pctBefore, float pctAfter);

// The interpolated moment of the crossing between two samples that cross.
double lineCrossingTime(double timeBefore, float pctBefore, double timeAfter, float pctAfter);

// A position in a lap's table that follows a car round the lap, so that a
// lookup per sample costs a step or two instead of a search. The table's
// fractions rise strictly within 0..1; the line stands before its first point
// (fraction 0, time 0) and after its last (fraction 1, time lineTime).
class LapCursor {
public:
    // Time into the lap at pct (clamped to 0..1), interpolated between the
    // points around it; moves the cursor there, forward or back.
    float timeAt(const std::vector<LapPoint>& table, float lineTime, float pct);
    // Speed at pct, interpolated the same way; the line takes the speed of the
    // nearest point.
    float speedAt(const std::vector<LapPoint>& table, float pct);
    void reset() { next = 0; }

private:
    // Moves to the first point whose fraction is at or above pct.
    void seek(const std::vector<LapPoint>& table, float pct);
    size_t next = 0;
};

// Fills time and speed of every point of `points` (ascending fractions) from
// a lap's timing table, by the interpolation above.
void fillTiming(std::vector<LapPoint>& points, const std::vector<LapPoint>& timing, float lineTime);

// The start line seen sample by sample, and the timing of the laps driven
// across it. A lap's timing table holds each sample that got further round
// the lap than any before it since the line (time into the lap, speed,
// pedals), so that its fractions rise even where the car stopped or backed
// up. Storage is kept from lap to lap: after the first laps a sample costs
// no allocation.
class LapClock {
public:
    // Takes one sample; true when the line was crossed since the previous
    // sample (a lap began). A sample without a time or a fraction is passed
    // over. Time that goes back (another session) or a crossing backwards
    // stops the lap being timed until the next crossing.
    bool take(double time, float pct, float speed);
    // Another session: no lap is timed until the next crossing, and the next
    // sample has none before it. The last lap driven and the storage stay.
    void restart();

    // Whether a lap is being timed: the line was crossed since timing began.
    bool running() const { return lapRunning; }
    // The time of the last crossing; meaningful while running.
    double lapStart() const { return start; }
    // Crossings seen so far.
    unsigned long crossings() const { return count; }
    // Points in the timing table of the lap being driven.
    size_t currentPoints() const { return current.size(); }

    // The last lap driven from line to line without a break, and its time;
    // empty with time 0 until there is one.
    const std::vector<LapPoint>& lastLap() const { return finished; }
    float lastLapTime() const { return finishedTime; }
    // The crossing that ended lastLap (its number in crossings()).
    unsigned long lastLapEnd() const { return finishedEnd; }

private:
    bool havePrevious = false;
    double prevTime = 0.0;
    float prevPct = 0.0f;
    bool lapRunning = false;
    double start = 0.0;
    unsigned long count = 0;
    std::vector<LapPoint> current;
    std::vector<LapPoint> finished;
    float finishedTime = 0.0f;
    unsigned long finishedEnd = 0;
};

// One sample of a recording, as the lap logic reads it.
struct LapSample {
    int lap = 0;             // lap counter
    float pct = 0.0f;        // lap-distance fraction
    float throttle = 0.0f;
    float brake = 0.0f;
    float lastLapTime = 0.0f; // time of the last completed lap, as the simulator reports it
    double time = 0.0;       // session time
    float speed = 0.0f;      // m/s
};

// A lap of a recording driven from the start line to the start line.
struct CompletedLap {
    int number = 0;          // the lap counter over the lap (its value before the line that ends it)
    float lineTime = 0.0f;   // from line to line, by the rule above
    // What the simulator reported for it: the last-lap time read on the
    // first sample more than 3 % into the next lap; 0 when there is none.
    float reportedTime = 0.0f;
    size_t first = 0, end = 0; // its samples: [first, end), the line between end - 1 and end
    std::vector<LapPoint> timing;
    std::vector<size_t> samples; // the sample each point of timing was taken from
};

// Every lap of the samples driven from line to line, in order.
std::vector<CompletedLap> completedLaps(const std::vector<LapSample>& samples);
