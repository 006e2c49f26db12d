#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo_synth.h"
#include "files.h"
#include "irsdk_diskclient.h"
#include "temp_folder.h"

namespace {

// What one pass over a demo recording saw, sample by sample.
struct Sample {
    double time;
    int onTrack;
    int lap;
    float pct;
    float throttle;
    float brake;
    float lastLap;
    float bestLap;
    float vx, vy, yaw;
};

std::vector<Sample> readSamples(irsdkDiskClient& r)
{
    const int time = r.getVarIdx("SessionTime"), onTrack = r.getVarIdx("IsOnTrack"), lap = r.getVarIdx("Lap"),
              pct = r.getVarIdx("LapDistPct"), thr = r.getVarIdx("Throttle"), brk = r.getVarIdx("Brake"),
              last = r.getVarIdx("LapLastLapTime"), best = r.getVarIdx("LapBestLapTime"),
              vx = r.getVarIdx("VelocityX"), vy = r.getVarIdx("VelocityY"), yaw = r.getVarIdx("YawNorth");
    std::vector<Sample> out;
    while (r.getNextData())
        out.push_back({r.getVarDouble(time), r.getVarInt(onTrack), r.getVarInt(lap), r.getVarFloat(pct),
            r.getVarFloat(thr), r.getVarFloat(brk), r.getVarFloat(last), r.getVarFloat(best),
            r.getVarFloat(vx), r.getVarFloat(vy), r.getVarFloat(yaw)});
    return out;
}

class DemoSession : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        path = tempPath("demo_seed" + std::to_string(GetParam()) + ".ibt");
        ASSERT_TRUE(writeDemoSession(path, laps, GetParam()));
        ASSERT_TRUE(reader.openFile(path.c_str()));
    }
    void TearDown() override
    {
        reader.closeFile();
        std::remove(path.c_str());
    }

    const int laps = 5;
    std::string path;
    irsdkDiskClient reader;
};

TEST_P(DemoSession, HasTheVariablesAndSessionTextOfARealRecording)
{
    const irsdk_TelemetryHeader& h = reader.getHeader();
    EXPECT_GE(h.varCount, 230);
    EXPECT_LE(h.varCount, 270);
    EXPECT_GE(h.recordLength, 900);
    EXPECT_LE(h.recordLength, 1400);

    struct Var {
        const char* name;
        int type;
    };
    const Var vars[] = {{"SessionTime", 5}, {"SessionTick", 2}, {"Throttle", 4}, {"Brake", 4}, {"Clutch", 4},
        {"Speed", 4}, {"RPM", 4}, {"SteeringWheelAngle", 4}, {"LapDist", 4}, {"LapDistPct", 4},
        {"LapDeltaToSessionBestLap_OK", 1}, {"Lap", 2}, {"Gear", 2}, {"LapLastLapTime", 4},
        {"LapBestLapTime", 4}, {"IsOnTrack", 1}, {"VelocityX", 4}, {"VelocityY", 4}, {"VelocityZ", 4},
        {"YawNorth", 4}};
    for (const Var& v : vars) {
        SCOPED_TRACE(v.name);
        const int idx = reader.getVarIdx(v.name);
        ASSERT_GE(idx, 0);
        EXPECT_EQ(reader.getVarType(idx), v.type);
        EXPECT_EQ(reader.getVarCount(idx), 1);
    }
    EXPECT_EQ(reader.getVarCount(reader.getVarIdx("CarIdxLapDistPct")), 64);

    const std::string text = reader.getSessionText();
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        ASSERT_EQ(text[i - 1], '\r') << "line feed without carriage return at " << i;
    char value[64];
    EXPECT_EQ(reader.getSessionStrVal("WeekendInfo:TrackName:", value, 63), 1);
    EXPECT_STREQ(value, "demo_ring");
    EXPECT_EQ(reader.getSessionStrVal("DriverInfo:Drivers:CarIdx:{3}CarNumber:", value, 63), 1);
    EXPECT_EQ(reader.getSessionStrVal("DriverInfo:Drivers:CarIdx:{0}TeamName:", value, 63), 1);
    EXPECT_EQ(reader.getSessionStrVal("CarSetup:Tires:LeftRear:ColdPressure:", value, 63), 1);
}

// The drive: a few seconds in the pits off track, then laps of 30 to 40 s,
// the lap counter rising exactly where the lap fraction wraps, the last lap
// time right after the line, and the best lap improving more than once.
TEST_P(DemoSession, DrivesBelievableLaps)
{
    const std::vector<Sample> s = readSamples(reader);
    ASSERT_GT(s.size(), 1000u);

    size_t firstOnTrack = 0;
    while (firstOnTrack < s.size() && s[firstOnTrack].onTrack == 0)
        ++firstOnTrack;
    EXPECT_GE(s[firstOnTrack].time, 2.0);
    EXPECT_LE(s[firstOnTrack].time, 10.0);

    std::vector<double> crossings;
    int bestChanges = 0;
    size_t fullThrottle = 0, braking = 0, overlap = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const Sample& a = s[i - 1];
        const Sample& b = s[i];
        EXPECT_NEAR(b.time - a.time, 1.0 / 60.0, 1e-9);
        if (i > firstOnTrack) {
            ASSERT_EQ(b.onTrack, 1) << "back off track at " << b.time;
        }
        const bool wrapped = a.pct > 0.95f && b.pct < 0.05f;
        ASSERT_EQ(b.lap - a.lap, wrapped ? 1 : 0) << "at " << b.time;
        if (wrapped) {
            // Where between the samples the car crossed the line.
            const double f = (1.0 - a.pct) / (1.0 - a.pct + b.pct);
            crossings.push_back(a.time + f * (b.time - a.time));
            if (crossings.size() >= 2) {
                const double lapTime = crossings.back() - crossings[crossings.size() - 2];
                EXPECT_GE(lapTime, 30.0);
                EXPECT_LE(lapTime, 40.0);
                EXPECT_NEAR(b.lastLap, lapTime, 0.02) << "lap ending at " << b.time;
            }
        }
        if (b.bestLap != a.bestLap && b.bestLap > 0.0f)
            ++bestChanges;
        fullThrottle += b.throttle == 1.0f;
        braking += b.brake > 0.5f;
        overlap += b.throttle > 0.2f && b.brake > 0.2f;
        EXPECT_TRUE(b.throttle >= 0.0f && b.throttle <= 1.0f && b.brake >= 0.0f && b.brake <= 1.0f);
    }
    EXPECT_EQ(crossings.size(), static_cast<size_t>(laps + 1)); // the out lap and the timed laps
    EXPECT_GE(bestChanges, 3);
    EXPECT_GT(fullThrottle, s.size() / 3);
    EXPECT_GT(braking, s.size() / 20);
    EXPECT_LT(overlap, s.size() / 50);
    EXPECT_GT(s.back().pct, 0.03f); // the last boundary is followed far enough to be seen
}

// Integrating the velocity rotated by minus the previous sample's heading,
// with the trapezoid rule, closes every lap to within a few metres.
TEST_P(DemoSession, DeadReckoningClosesEachLap)
{
    const std::vector<Sample> s = readSamples(reader);
    double x = 0.0, y = 0.0;
    std::vector<std::pair<double, double>> lapStarts;
    double pathLength = 0.0;
    for (size_t i = 1; i < s.size(); ++i) {
        const Sample& a = s[i - 1];
        const Sample& b = s[i];
        const double dt = b.time - a.time;
        const double fx = 0.5 * dt * (a.vx + b.vx), fy = 0.5 * dt * (a.vy + b.vy);
        const double t = -a.yaw;
        x += fx * std::cos(t) - fy * std::sin(t);
        y += fx * std::sin(t) + fy * std::cos(t);
        pathLength += std::hypot(fx, fy);
        if (b.lap != a.lap)
            lapStarts.push_back({x, y});
    }
    ASSERT_EQ(lapStarts.size(), static_cast<size_t>(laps + 1));
    EXPECT_GT(pathLength, laps * 1000.0);
    for (size_t k = 1; k < lapStarts.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_LT(std::hypot(lapStarts[k].first - lapStarts[k - 1].first, lapStarts[k].second - lapStarts[k - 1].second), 3.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, DemoSession, ::testing::Values(1u, 2u, 3u));

TEST(DemoSynth, SameSeedSameFileOtherSeedOtherLaps)
{
    const std::string a = tempPath("demo_a.ibt"), b = tempPath("demo_b.ibt"), c = tempPath("demo_c.ibt");
    ASSERT_TRUE(writeDemoSession(a, 3, 11));
    ASSERT_TRUE(writeDemoSession(b, 3, 11));
    ASSERT_TRUE(writeDemoSession(c, 3, 12));
    EXPECT_EQ(readFile(a), readFile(b));
    EXPECT_NE(readFile(a), readFile(c));
    EXPECT_NE(demoLapTimes(3, 11), demoLapTimes(3, 12));
    EXPECT_FALSE(writeDemoSession(a + ".none", 0, 1));
    EXPECT_FALSE(writeDemoSession(::testing::TempDir() + "no/such/dir/demo.ibt", 2, 1));
    for (const std::string& p : {a, b, c})
        std::remove(p.c_str());
}

TEST(DemoSynth, WritesExactlyTheRecordsAsked)
{
    const std::string path = tempPath("demo_records.ibt");
    ASSERT_TRUE(writeDemoRecords(path, 7000, 5));
    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    const irsdk_TelemetryHeader& h = r.getHeader();
    EXPECT_EQ(readFile(path).size(), static_cast<size_t>(h.bufferSlots[0].recordOffset) + 7000u * static_cast<size_t>(h.recordLength));
    std::remove(path.c_str());
}

} // namespace
