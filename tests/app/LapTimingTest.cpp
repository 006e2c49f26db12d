// Lap timing from the start line: the crossing between two samples, the laps
// of a run, and the time between two laps through the lap.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "LapTiming.h"
#include "ReferenceLaps.h"

namespace {

const double kLength = 1000.0; // metres
const double kDt = 1.0 / 60.0;

// A car that starts half a lap before the line and drives lap k + 1 at
// speeds[k] m/s, sampled every kDt from an offset that puts no sample on the
// line; the counter goes up at the line and the lap time is reported from
// then on, as the simulator does.
std::vector<LapSample> drive(const std::vector<double>& speeds)
{
    // The speed of the lap at s; past the last line, the last lap's.
    auto speedOn = [&](double s) {
        const double lap = std::clamp(std::floor(s / kLength), 0.0, static_cast<double>(speeds.size() - 1));
        return speeds[static_cast<size_t>(lap)];
    };
    std::vector<LapSample> out;
    double s = -0.5 * kLength, t = 0.013;
    float reported = -1.0f;
    double lapStart = 0.0;
    while (s < kLength * static_cast<double>(speeds.size())) {
        // One sample's step, split at the line where the speed changes.
        double left = kDt;
        for (;;) {
            const double line = (std::floor(s / kLength) + 1.0) * kLength;
            const double v = speedOn(s);
            if (s + v * left < line) {
                s += v * left;
                break;
            }
            left -= (line - s) / v;
            if (line > 0.0)
                reported = static_cast<float>(t + kDt - left - lapStart);
            lapStart = t + kDt - left;
            s = line;
        }
        t += kDt;
        LapSample sample;
        sample.lap = static_cast<int>(std::floor(s / kLength)) + 1;
        sample.pct = static_cast<float>(s / kLength - std::floor(s / kLength));
        sample.time = t;
        sample.speed = static_cast<float>(speedOn(s));
        sample.lastLapTime = reported;
        sample.throttle = 1.0f;
        out.push_back(sample);
    }
    return out;
}

} // namespace

TEST(StartLine, TheCrossingIsInterpolatedBetweenTheTwoSamplesAroundTheWrap)
{
    struct Case {
        double t0;
        float p0;
        double t1;
        float p1;
        double crossing;
    };
    const Case cases[] = {
        {10.0, 0.99f, 10.1, 0.01f, 10.05},  // halfway
        {10.0, 0.98f, 10.1, 0.01f, 10.0 + 0.1 * 2.0 / 3.0},
        {10.0, 0.95f, 10.1, 0.0f, 10.1},    // the sample after lies on the line
        {10.0, 1.0f, 10.1, 0.05f, 10.0},    // the sample before does
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(crossesLine(c.p0, c.p1));
        EXPECT_NEAR(lineCrossingTime(c.t0, c.p0, c.t1, c.p1), c.crossing, 1e-6) << c.p0 << " " << c.p1;
    }
    for (float before : {0.5f, 0.02f, 0.95f, std::nanf("")})
        EXPECT_FALSE(crossesLine(before, before == 0.95f ? 0.5f : 0.96f)) << before;
}

TEST(LapDelta, ALapAgainstItselfIsZeroAndAUniformlySlowerLapFallsBehindLinearly)
{
    const std::vector<CompletedLap> laps = completedLaps(drive({50.0, 50.0, 50.0 / 1.01}));
    ASSERT_EQ(laps.size(), 3u) << "the half lap before the first crossing is none";
    const CompletedLap& even = laps[0];
    const CompletedLap& slower = laps[2];
    EXPECT_EQ(even.number, 1);
    EXPECT_NEAR(even.lineTime, 20.0, 1e-4);
    EXPECT_NEAR(slower.lineTime, 20.2, 1e-4);
    EXPECT_NEAR(even.reportedTime, even.lineTime, 1e-4) << "the simulator's time, read after the line";

    LapCursor a, b, c;
    for (int step = 0; step <= 100; ++step) {
        const float pct = static_cast<float>(step) / 100.0f;
        EXPECT_EQ(a.timeAt(even.timing, even.lineTime, pct), b.timeAt(even.timing, even.lineTime, pct));
        const double delta = c.timeAt(slower.timing, slower.lineTime, pct) - a.timeAt(even.timing, even.lineTime, pct);
        EXPECT_NEAR(delta, 0.2 * pct, 2e-4) << pct;
    }
    // Backwards through the table gives the same times.
    for (int step = 100; step >= 0; --step) {
        const float pct = static_cast<float>(step) / 100.0f;
        EXPECT_NEAR(a.timeAt(even.timing, even.lineTime, pct), 20.0 * pct, 2e-4) << pct;
    }
}

TEST(LapDelta, TimeGoingBackStopsTheLapUntilTheNextCrossing)
{
    std::vector<LapSample> s = drive({50.0, 50.0, 50.0});
    // Half way round lap 2 the session starts again ten minutes earlier.
    const size_t restart = s.size() / 2;
    for (size_t i = restart; i < s.size(); ++i)
        s[i].time -= 600.0;
    const std::vector<CompletedLap> laps = completedLaps(s);
    ASSERT_EQ(laps.size(), 2u);
    EXPECT_EQ(laps[0].number, 1);
    EXPECT_EQ(laps[1].number, 3);
    EXPECT_NEAR(laps[1].lineTime, 20.0, 1e-4);
}

TEST(CompletedLap, AnImportedLapDrivenFromLineToLineKeepsItsTiming)
{
    StoredLap lap;
    ASSERT_TRUE(fastestCompletedLap(drive({50.0, 40.0, 50.0, 45.0}), &lap));
    EXPECT_TRUE(lap.timed);
    EXPECT_NEAR(lap.lapTime, 20.0, 1e-4) << "lap 1, the first of two in 20 s";
    EXPECT_NEAR(lap.lineTime, lap.lapTime, 1e-4);
    std::string why;
    lap.key = {"ring", "car"};
    EXPECT_TRUE(lapIsStorable(lap, &why)) << why;
    for (const LapPoint& p : lap.points)
        ASSERT_NEAR(p.time, 20.0f * p.pct, 2e-4) << p.pct;
}
