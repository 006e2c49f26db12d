// The demo session replayed through the source and the throttle/brake
// controller: once a best lap exists, the reference throttle follows that
// lap's throttle at the car's position, as read independently from the file.
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "ThrottleBrakeTraceController.h"
#include "demo_synth.h"
#include "irsdk_diskclient.h"
#include "pedal_recording.h"
#include "test_display.h"

namespace {

struct Record {
    int lap;
    float pct;
    float throttle;
    float lastLapTime;
};

std::vector<Record> readRecords(const std::string& path)
{
    irsdkDiskClient reader;
    std::vector<Record> out;
    if (!reader.openFile(path.c_str()))
        return out;
    const int lap = reader.getVarIdx("Lap");
    const int pct = reader.getVarIdx("LapDistPct");
    const int thr = reader.getVarIdx("Throttle");
    const int last = reader.getVarIdx("LapLastLapTime");
    while (reader.getNextData())
        out.push_back({reader.getVarInt(lap), reader.getVarFloat(pct), reader.getVarFloat(thr), reader.getVarFloat(last)});
    return out;
}

// Throttle of lap `lap` at the first of its samples at or past `pct`.
float lapThrottleAt(const std::vector<Record>& records, int lap, float pct)
{
    for (const Record& r : records)
        if (r.lap == lap && r.pct >= pct)
            return r.throttle;
    return -1.0f;
}

} // namespace

// The controller draws in a window of its own.
class DemoReplay : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TEST_DISPLAY(); }
};

TEST_F(DemoReplay, ReferenceThrottleFollowsTheFastestCompletedLap)
{
    const std::string path = tempRecordingPath("demo");
    ASSERT_TRUE(writeDemoSession(path, 6, 1));
    const std::vector<Record> records = readRecords(path);
    ASSERT_GT(records.size(), 1000u);

    // Each lap's time as the simulator reports it after the line.
    std::map<int, float> lapTimes;
    for (size_t i = 1; i < records.size(); ++i)
        if (records[i].lap == records[i - 1].lap + 1 && records[i - 1].lap >= 1)
            lapTimes[records[i - 1].lap] = records[i].lastLapTime;
    ASSERT_GE(lapTimes.size(), 4u);

    // The timed lap that is the reference while lap k is driven: the fastest
    // of laps 1 .. k-1, a later lap winning a tie.
    auto referenceFor = [&](int k) {
        int best = 0;
        for (const auto& [lap, time] : lapTimes)
            if (lap < k && (best == 0 || time <= lapTimes[best]))
                best = lap;
        return best;
    };

    auto source = std::make_shared<IRData>(path.c_str());
    ThrottleBrakeTraceController controller(source, 400); // history longer than the session
    const std::vector<float>& zoneT = *controller.getModel()->CommonModel<float>::getPtVar(IDataStrings::ZONE_T);

    int checked = 0;
    int mismatches = 0;
    for (const Record& r : records) {
        source->updateData();
        controller.updateData();
        const float shown = zoneT.back();
        if (r.lap <= 1) {
            EXPECT_TRUE(shown == 0.0f || shown == 1.0f || r.lap == 1) << "indications before the first boundary";
            continue;
        }
        if (r.pct < 0.1f || r.pct > 0.9f)
            continue; // around the line the recordings hold the next lap's start
        const int ref = referenceFor(r.lap);
        ASSERT_NE(ref, 0);
        const float expected = lapThrottleAt(records, ref, r.pct);
        ++checked;
        if (shown != expected && ++mismatches <= 5)
            ADD_FAILURE() << "lap " << r.lap << " at " << r.pct << ": shows " << shown << ", lap " << ref
                          << " had " << expected;
    }
    EXPECT_GT(checked, 5000);
    EXPECT_EQ(mismatches, 0);
    std::remove(path.c_str());
}
