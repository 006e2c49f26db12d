// Reference-lap logic of the throttle/brake controller, driven by recordings
// replayed through the telemetry source.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ThrottleBrakeTraceController.h"
#include "pedal_recording.h"
#include "temp_folder.h"
#include "test_display.h"

namespace {

struct Zones {
    float throttle;
    float brake;
};

class PedalReplay {
public:
    explicit PedalReplay(const std::vector<PedalSample>& samples, std::shared_ptr<ReferenceLapKeeper> keeper = {})
        : path(tempRecordingPath("pedals"))
    {
        EXPECT_TRUE(writePedalRecording(path, samples));
        source = std::make_shared<IRData>(path.c_str());
        controller = std::make_unique<ThrottleBrakeTraceController>(source, 100);
        if (keeper)
            controller->getReference()->keepLaps(keeper);
    }

    ~PedalReplay()
    {
        controller.reset();
        source.reset();
        std::remove(path.c_str());
    }

    // One main-loop pass; returns what it wrote into the zone slots.
    Zones step()
    {
        source->updateData();
        controller->updateData();
        CommonModel<float>& m = *controller->getModel();
        return {m.getPtVar(IDataStrings::ZONE_T)->back(), m.getPtVar(IDataStrings::ZONE_B)->back()};
    }

    std::vector<Zones> run(size_t passes)
    {
        std::vector<Zones> out;
        for (size_t i = 0; i < passes; ++i)
            out.push_back(step());
        return out;
    }

private:
    std::string path;
    std::shared_ptr<IRData> source;
    std::unique_ptr<ThrottleBrakeTraceController> controller;
};

const std::vector<float> kLapFractions = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
// The first samples after a line crossing, the last of them past the 3 % mark.
const std::vector<float> kLineCrossing = {0.01f, 0.02f, 0.05f};

// Laps 1..n with constant pedals per lap; lap k's time is reported on the
// samples of lap k + 1, as the simulator does after the line.
std::vector<PedalSample> lapsWithTimes(const std::vector<float>& throttles, const std::vector<float>& lapTimes)
{
    std::vector<PedalSample> s;
    for (size_t lap = 0; lap < throttles.size(); ++lap) {
        const float lastTime = lap == 0 ? 0.0f : lapTimes[lap - 1];
        appendLap(s, static_cast<int>(lap) + 1, kLineCrossing, throttles[lap], 0.0f, lastTime);
        appendLap(s, static_cast<int>(lap) + 1, kLapFractions, throttles[lap], 0.0f, lastTime);
    }
    return s;
}

// Zone throttle over the mid-lap samples (0.1 .. 0.9) of lap `lap` (1-based).
std::vector<float> midLapZoneThrottle(const std::vector<Zones>& zones, int lap)
{
    const size_t perLap = kLineCrossing.size() + kLapFractions.size();
    std::vector<float> out;
    for (size_t i = 0; i < kLapFractions.size(); ++i)
        out.push_back(zones[(lap - 1) * perLap + kLineCrossing.size() + i].throttle);
    return out;
}

std::vector<float> constant(float v)
{
    return std::vector<float>(kLapFractions.size(), v);
}

} // namespace

// The controller draws in a window of its own.
class StripReference : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TEST_DISPLAY(); }
};

TEST_F(StripReference, BeforeTheFirstBoundaryZonesAreFullThrottleAndBrakingIndications)
{
    struct Case {
        float throttle, brake, zoneT, zoneB;
    };
    const std::vector<Case> cases = {
        {0.995f, 0.02f, 1.0f, 1.0f},
        {0.99f, 0.01f, 0.0f, 0.0f},
        {1.0f, 0.0f, 1.0f, 0.0f},
        {0.5f, 0.5f, 0.0f, 1.0f},
    };
    std::vector<PedalSample> samples;
    for (const Case& c : cases)
        appendLap(samples, 7, {0.5f}, c.throttle, c.brake, 0.0f);

    PedalReplay replay(samples);
    for (const Case& c : cases) {
        const Zones z = replay.step();
        EXPECT_EQ(z.throttle, c.zoneT) << "throttle " << c.throttle;
        EXPECT_EQ(z.brake, c.zoneB) << "brake " << c.brake;
    }
}

TEST_F(StripReference, BoundaryIsTakenOnlyMoreThanThreePercentIntoTheNewLap)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, {0.9f}, 0.5f, 0.5f, 0.0f);
    appendLap(s, 2, {0.01f, 0.03f, 0.031f, 0.04f}, 0.5f, 0.5f, 0.0f);

    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());
    // Still indications up to and including the boundary pass (slots are
    // written before the boundary is handled); then no reference: the current pedals.
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(z[i].throttle, 0.0f) << i;
        EXPECT_EQ(z[i].brake, 1.0f) << i;
    }
    EXPECT_EQ(z[4].throttle, 0.5f);
    EXPECT_EQ(z[4].brake, 0.5f);
}

TEST_F(StripReference, FirstPassSetsTheLapCounterWithoutABoundary)
{
    std::vector<PedalSample> s;
    appendLap(s, 5, {0.5f, 0.6f}, 0.5f, 0.0f, 0.0f);
    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());
    EXPECT_EQ(z[1].throttle, 0.0f) << "still an indication: no boundary was found";
}

TEST_F(StripReference, UntimedFirstLapThenEachFasterLapBecomesTheReference)
{
    // Boundary 1 without a valid time, then laps of 92.0 and 91.5.
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f, 0.4f}, {-1.0f, 92.0f, 91.5f});
    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());

    EXPECT_EQ(midLapZoneThrottle(z, 2), constant(0.2f)) << "no reference yet: the current throttle";
    EXPECT_EQ(midLapZoneThrottle(z, 3), constant(0.2f)) << "the 92.0 lap is the reference";
    EXPECT_EQ(midLapZoneThrottle(z, 4), constant(0.7f)) << "the 91.5 lap replaced it";
}

TEST_F(StripReference, AFasterFirstBoundaryTimeDropsASlowerRecordedLap)
{
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f, 0.4f}, {91.8f, 92.0f, 91.5f});
    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());

    EXPECT_EQ(midLapZoneThrottle(z, 3), constant(0.7f)) << "92.0 was no best: still no reference";
    EXPECT_EQ(midLapZoneThrottle(z, 4), constant(0.7f)) << "the 91.5 lap is the first reference";
}

TEST_F(StripReference, AnEqualLapTimeIsANewBest)
{
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f}, {90.0f, 90.0f});
    PedalReplay replay(s);
    EXPECT_EQ(midLapZoneThrottle(replay.run(s.size()), 3), constant(0.2f));
}

TEST_F(StripReference, LapsWithoutAValidTimeNeverBecomeTheReference)
{
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f}, {-1.0f, 0.0f});
    PedalReplay replay(s);
    EXPECT_EQ(midLapZoneThrottle(replay.run(s.size()), 3), constant(0.7f));
}

TEST_F(StripReference, CursorFollowsTheCarForwardOnlyAndFallsBackPastTheLastKey)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, {0.5f}, 0.0f, 0.0f, 0.0f);
    appendLap(s, 2, {0.05f}, 0.0f, 0.0f, 90.0f); // first boundary: best 90
    for (float pct : kLapFractions)              // the lap to become the reference: throttle = pct
        appendLap(s, 2, {pct}, pct, 1.0f - pct, 90.0f);
    appendLap(s, 3, {0.05f}, 0.0f, 0.0f, 89.0f); // boundary: lap 2 is the best
    const size_t probe = s.size();
    appendLap(s, 3, {0.45f, 0.5f, 0.4f, 0.85f, 0.95f}, 0.33f, 0.66f, 89.0f);

    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());
    // 0.45 finds the key 0.5; reversing to 0.4 leaves the cursor there.
    EXPECT_FLOAT_EQ(z[probe + 0].throttle, 0.5f);
    EXPECT_FLOAT_EQ(z[probe + 0].brake, 0.5f);
    EXPECT_FLOAT_EQ(z[probe + 1].throttle, 0.5f);
    EXPECT_FLOAT_EQ(z[probe + 2].throttle, 0.5f);
    EXPECT_FLOAT_EQ(z[probe + 3].throttle, 0.9f);
    EXPECT_FLOAT_EQ(z[probe + 3].brake, 1.0f - 0.9f);
    // Past the reference's last key: the current pedals.
    EXPECT_FLOAT_EQ(z[probe + 4].throttle, 0.33f);
    EXPECT_FLOAT_EQ(z[probe + 4].brake, 0.66f);
}

TEST_F(StripReference, AStationaryCarKeepsTheFirstValueStoredAtItsPosition)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, {0.5f}, 0.0f, 0.0f, 0.0f);
    appendLap(s, 2, {0.05f}, 0.0f, 0.0f, 90.0f);
    appendLap(s, 2, {0.3f, 0.3f, 0.3f}, 0.0f, 0.0f, 90.0f);
    s[s.size() - 3].throttle = 0.25f; // the first sample at 0.3 is kept
    s[s.size() - 1].throttle = 0.75f;
    appendLap(s, 3, {0.05f}, 0.0f, 0.0f, 80.0f);
    appendLap(s, 3, {0.3f}, 0.6f, 0.0f, 80.0f);

    PedalReplay replay(s);
    const std::vector<Zones> z = replay.run(s.size());
    EXPECT_FLOAT_EQ(z.back().throttle, 0.25f);
}

namespace {

// A lap of the recordings' track and car with throttle = position and brake =
// 1 - position, stored in its own folder.
struct KeptLaps {
    KeptLaps() : dir("laps"), store(dir.path()) {}
    void storeRampLap(float lapTime)
    {
        StoredLap lap;
        lap.key = {"testring", "testcar"};
        lap.lapTime = lapTime;
        for (float pct : kLapFractions)
            lap.points.push_back({pct, pct, 1.0f - pct});
        std::string error;
        ASSERT_EQ(store.save(lap, true, &error), LapStore::SaveStatus::Stored) << error;
    }
    StoredLap stored()
    {
        StoredLap lap;
        std::string error;
        EXPECT_EQ(store.load({"testring", "testcar"}, &lap, &error), LapStore::LoadStatus::Ok) << error;
        return lap;
    }
    std::shared_ptr<ReferenceLapKeeper> keeper() { return std::make_shared<ReferenceLapKeeper>("test", dir.path()); }

    TempFolder dir;
    LapStore store;
};

} // namespace

TEST_F(StripReference, AStoredLapIsTheReferenceFromTheFirstPassAndTheLapToBeat)
{
    KeptLaps laps;
    laps.storeRampLap(90.0f);
    // Lap 1 before any boundary; the first boundary reports 95; lap 2 in 91
    // is slower than the stored 90; lap 3 in 89 is faster.
    const auto s = lapsWithTimes({0.33f, 0.2f, 0.7f, 0.4f}, {95.0f, 91.0f, 89.0f});
    PedalReplay replay(s, laps.keeper());
    const std::vector<Zones> z = replay.run(s.size());

    EXPECT_EQ(midLapZoneThrottle(z, 1), kLapFractions) << "the stored lap before the first boundary";
    EXPECT_FLOAT_EQ(z[kLineCrossing.size() + 1].brake, 1.0f - kLapFractions[1]);
    EXPECT_EQ(midLapZoneThrottle(z, 2), kLapFractions) << "still the stored lap after the first boundary";
    EXPECT_EQ(midLapZoneThrottle(z, 3), kLapFractions) << "91 did not beat the stored 90";
    EXPECT_EQ(midLapZoneThrottle(z, 4), constant(0.7f)) << "the 89 lap replaced it";

    const StoredLap kept = laps.stored();
    EXPECT_EQ(kept.lapTime, 89.0f);
    ASSERT_FALSE(kept.points.empty());
    EXPECT_EQ(kept.points[kept.points.size() / 2].throttle, 0.7f);
}

TEST_F(StripReference, WithoutAStoredLapTheFirstBestLapIsStored)
{
    KeptLaps laps;
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f}, {-1.0f, 92.0f});
    PedalReplay replay(s, laps.keeper());
    const std::vector<Zones> z = replay.run(s.size());
    EXPECT_EQ(midLapZoneThrottle(z, 1), constant(0.0f)) << "indications, as without a keeper";
    EXPECT_EQ(midLapZoneThrottle(z, 3), constant(0.2f));
    EXPECT_EQ(laps.stored().lapTime, 92.0f);
}

TEST_F(StripReference, ABadStoredLapIsIgnoredWithOneLineAndGivesWayToTheRunsLaps)
{
    KeptLaps laps;
    laps.storeRampLap(90.0f);
    const std::string path = laps.store.pathFor({"testring", "testcar"});
    std::error_code ec;
    std::filesystem::resize_file(path, 100, ec);
    ASSERT_FALSE(ec) << ec.message();
    const auto s = lapsWithTimes({0.9f, 0.2f, 0.7f, 0.4f}, {95.0f, 91.0f, 89.0f});

    testing::internal::CaptureStderr();
    PedalReplay replay(s, laps.keeper());
    const std::vector<Zones> z = replay.run(s.size());
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(err, "test: stored reference lap ignored: " + path + ": truncated\n");
    EXPECT_EQ(midLapZoneThrottle(z, 1), constant(0.0f)) << "indications: the lap was not used";
    EXPECT_EQ(midLapZoneThrottle(z, 3), constant(0.2f)) << "this run's 91 lap is its reference";
    EXPECT_EQ(laps.stored().lapTime, 89.0f) << "the truncated 90 can never load: 91 replaced it, then 89";
}

// A lap that ends just after the session changed car (before the occasional
// check of the key has seen it) is not stored under the old car's name.
TEST(LiveStoring, ALapEndingAfterAChangeOfCarIsNotStoredUnderTheOldKey)
{
    KeptLaps laps;
    std::vector<PedalSample> s;
    appendLap(s, 1, kLapFractions, 0.5f, 0.0f, 0.0f);
    const std::string before = tempRecordingPath("before"), after = tempRecordingPath("after");
    ASSERT_TRUE(writePedalRecording(before, s, "testcar"));
    ASSERT_TRUE(writePedalRecording(after, s, "othercar"));
    IRData first(before.c_str()), second(after.c_str());
    ASSERT_TRUE(first.updateData() && second.updateData());

    const auto keeper = laps.keeper();
    EXPECT_EQ(keeper->poll(first), nullptr);
    ASSERT_EQ(keeper->key(), (LapKey{"testring", "testcar"}));
    const std::vector<LapPoint> points = {{0.1f, 0.5f, 0.5f}, {0.5f, 0.5f, 0.5f}, {0.9f, 0.5f, 0.5f}};
    testing::internal::CaptureStderr();
    keeper->keep(second, 80.0f, points, false, 0.0f);
    keeper->keep(first, 79.0f, points, false, 0.0f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "test: the session changed to testring, othercar; laps of this run are no longer kept\n");
    std::vector<std::string> problems;
    EXPECT_TRUE(laps.store.list(&problems).empty()) << "a lap was stored";
    std::remove(before.c_str()), std::remove(after.c_str());
}
