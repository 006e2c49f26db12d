// The telemetry source in file mode: lazy, retried opening, one record per
// pass, staying on the last record, and the on-track and connected queries.
#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

#include "IRData.h"
#include "pedal_recording.h"

namespace {

std::vector<PedalSample> threeSamples()
{
    std::vector<PedalSample> s;
    appendLap(s, 4, {0.25f, 0.5f, 0.75f}, 0.0f, 0.0f, 0.0f);
    s[0].throttle = 0.1f;
    s[1].throttle = 0.2f;
    s[2].throttle = 0.3f;
    s[1].onTrack = 0;
    return s;
}

} // namespace

TEST(IRDataFile, TimeoutIsSixteenUnlessGiven)
{
    EXPECT_EQ(IRData("nothing-here.ibt").getTimeout(), 16);
    EXPECT_EQ(IRData(5).getTimeout(), 5);
    EXPECT_EQ(IRData().getTimeout(), 16);
}

TEST(IRDataFile, MissingFileIsRetriedOnEveryPassAndOpenedOnceItAppears)
{
    const std::string path = tempRecordingPath("late");
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::remove(path.c_str());
    IRData source(path.c_str());
    EXPECT_EQ(source.whyNoTelemetry(), nullptr) << "nothing tried yet";
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(source.updateData());
        EXPECT_FALSE(source.isConnected());
        EXPECT_FALSE(source.isCarOnTrack());
        EXPECT_EQ(source.getVarFloat("Throttle", 0), 0.0f);
        EXPECT_FALSE(source.hasVar("Throttle"));
        EXPECT_STREQ(source.whyNoTelemetry(), ("No " + name + " in this folder").c_str());
    }
    // Something that is not a recording, then one.
    for (const char* bytes : {"", "telemetry"}) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(bytes, f);
        std::fclose(f);
        EXPECT_FALSE(source.updateData());
        EXPECT_STREQ(source.whyNoTelemetry(), (name + " is not a recording").c_str());
    }
    ASSERT_TRUE(writePedalRecording(path, threeSamples()));
    source.updateData();
    EXPECT_TRUE(source.isConnected());
    EXPECT_EQ(source.whyNoTelemetry(), nullptr);
    EXPECT_TRUE(source.hasVar("Throttle"));
    EXPECT_FALSE(source.hasVar("NoSuchVariable"));
    EXPECT_FLOAT_EQ(source.getVarFloat("Throttle", 0), 0.1f) << "the first pass after it appears reads record 1";
    std::remove(path.c_str());
}

TEST(IRDataFile, EachPassTakesOneRecordThenTheLastOneStays)
{
    const std::string path = tempRecordingPath("three");
    ASSERT_TRUE(writePedalRecording(path, threeSamples()));
    IRData source(path.c_str());
    const float expected[] = {0.1f, 0.2f, 0.3f, 0.3f, 0.3f};
    const bool onTrack[] = {true, false, true, true, true};
    for (int pass = 0; pass < 5; ++pass) {
        EXPECT_EQ(source.updateData(), pass < 3) << "a new sample on passes 1 to 3 only";
        EXPECT_TRUE(source.isConnected()) << pass;
        EXPECT_FLOAT_EQ(source.getVarFloat("Throttle", 0), expected[pass]) << pass;
        EXPECT_EQ(source.isCarOnTrack(), onTrack[pass]) << pass;
    }
    EXPECT_EQ(source.getVarInt("Lap", 0), 4);
    EXPECT_DOUBLE_EQ(source.getVarDouble("LapDistPct", 0), 0.75);
    EXPECT_EQ(source.getVarFloat("NoSuchVariable", 0), 0.0f);
    EXPECT_EQ(source.getVarFloat("Throttle", 1), 0.0f) << "entry beyond a scalar";

    char val[32];
    EXPECT_EQ(source.getSessionVar("WeekendInfo:TrackName:", val, 31), 1);
    EXPECT_STREQ(val, "testring");

    source.endSession();
    EXPECT_FALSE(source.isConnected());
    std::remove(path.c_str());
}

TEST(IRDataFile, OnTrackIsAnyNonZeroValueAndFalseWhenTheVariableIsMissing)
{
    const std::string path = tempRecordingPath("ontrack");
    IbtWriter w;
    const int onTrack = w.addVar("IsOnTrack", irsdk_int);
    for (int v : {0, 1, -3, 2}) {
        w.beginRecord();
        w.setInt(onTrack, v);
        w.endRecord();
    }
    ASSERT_TRUE(w.writeFile(path));
    IRData source(path.c_str());
    for (bool expected : {false, true, true, true}) {
        source.updateData();
        EXPECT_EQ(source.isCarOnTrack(), expected);
    }
    source.endSession();

    IbtWriter other;
    other.addVar("Speed", irsdk_float);
    other.beginRecord();
    other.set(0, 1.0);
    other.endRecord();
    ASSERT_TRUE(other.writeFile(path));
    IRData noFlag(path.c_str());
    noFlag.updateData();
    EXPECT_TRUE(noFlag.isConnected());
    EXPECT_FALSE(noFlag.isCarOnTrack());
    std::remove(path.c_str());
}

TEST(IRDataLive, WithoutASimulatorTheSourceIsNotConnectedAndReadsZero)
{
    IRData source(5);
    EXPECT_FALSE(source.updateData());
    EXPECT_FALSE(source.isConnected());
    EXPECT_STREQ(source.whyNoTelemetry(), "Waiting for the simulator");
    EXPECT_FALSE(source.hasVar("Throttle"));
    EXPECT_FALSE(source.isCarOnTrack());
    EXPECT_EQ(source.getVarFloat("Throttle", 0), 0.0f);
    source.endSession(); // nothing to end
}
