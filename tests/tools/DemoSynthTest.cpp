#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo_synth.h"
#include "files.h"
#include "ibt_writer.h"
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

// The session text is written after the records: its result must name the
// laps that were driven, for whole sessions and for cut ones alike.
TEST(DemoSynth, SessionResultNamesTheLapsOfTheDrive)
{
    struct Case {
        int laps;
        long long records; // -1: the whole session
        unsigned seed;
    };
    const Case cases[] = {{1, -1, 4}, {5, -1, 9}, {12, -1, 2}, {-1, 3000, 6}};
    for (const Case& c : cases) {
        const std::string path = tempPath("demo_result.ibt");
        int laps = c.laps;
        if (c.records < 0) {
            ASSERT_TRUE(writeDemoSession(path, laps, c.seed));
        } else {
            ASSERT_TRUE(writeDemoRecords(path, c.records, c.seed));
            laps = static_cast<int>(c.records / (25 * DEMO_TICK_RATE) + 2);
        }
        const std::vector<double> times = demoLapTimes(laps, c.seed);
        ASSERT_EQ(times.size(), static_cast<size_t>(laps));
        const size_t fastest = std::min_element(times.begin(), times.end()) - times.begin();
        char expected[32];
        irsdkDiskClient r;
        ASSERT_TRUE(r.openFile(path.c_str()));
        char value[64];
        const std::string result = "SessionInfo:Sessions:SessionNum:{0}ResultsPositions:Position:{1}";
        ASSERT_EQ(r.getSessionStrVal((result + "FastestTime:").c_str(), value, 63), 1);
        std::snprintf(expected, sizeof expected, "%.4f", times[fastest]);
        EXPECT_STREQ(value, expected) << laps << " laps";
        ASSERT_EQ(r.getSessionStrVal((result + "LastTime:").c_str(), value, 63), 1);
        std::snprintf(expected, sizeof expected, "%.4f", times.back());
        EXPECT_STREQ(value, expected) << laps << " laps";
        ASSERT_EQ(r.getSessionStrVal((result + "FastestLap:").c_str(), value, 63), 1);
        EXPECT_EQ(value, std::to_string(fastest + 1));
        ASSERT_EQ(r.getSessionStrVal((result + "LapsComplete:").c_str(), value, 63), 1);
        EXPECT_EQ(value, std::to_string(laps));
        r.closeFile();
        std::remove(path.c_str());
    }
}

// A text set after streaming goes into the room kept for it; one that does
// not fit is refused instead of overwriting the first records.
TEST(DemoSynth, WriterRewritesTheHeaderOnlyWhenTheTextFits)
{
    const std::string path = tempPath("demo_rewrite.ibt");
    IbtWriter w;
    w.addVar("Lap", irsdk_int);
    w.reserveSessionText(64);
    ASSERT_TRUE(w.openStream(path));
    for (int i = 0; i < 3; ++i) {
        w.beginRecord();
        w.setInt(0, 40 + i);
        w.endRecord();
    }
    w.setSessionText("WeekendInfo:\n TrackName: late\n");
    EXPECT_TRUE(w.rewriteHeader());
    w.setSessionText(std::string(100, 'x'));
    EXPECT_FALSE(w.rewriteHeader());
    EXPECT_FALSE(w.closeStream()) << "a refused rewrite is a failed stream";

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    char value[32];
    ASSERT_EQ(r.getSessionStrVal("WeekendInfo:TrackName:", value, 31), 1);
    EXPECT_STREQ(value, "late");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(r.getNextData());
        EXPECT_EQ(r.getVarInt("Lap"), 40 + i);
    }
    EXPECT_FALSE(r.getNextData());
    r.closeFile();
    std::remove(path.c_str());
}

} // namespace
