// The delta overlay: against the reference lap it shares with the strip on a
// replayed demo session, with a kept lap of either version, on pixels, and
// with passes and frames that leave the heap alone.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DeltaController.h"
#include "ThrottleBrakeTraceController.h"
#include "counting_new.h"
#include "demo_synth.h"
#include "pedal_recording.h"
#include "pixels.h"
#include "temp_folder.h"
#include "test_display.h"

namespace {

// A recording replayed through one reference lap shared by a strip and a
// delta overlay, each taking every sample as the main loop gives it.
struct Replay {
    explicit Replay(const std::string& path, std::shared_ptr<ReferenceLapKeeper> keeper = {})
        : source(std::make_shared<IRData>(path.c_str())), reference(std::make_shared<ReferenceLap>())
    {
        if (keeper)
            reference->keepLaps(std::move(keeper));
        delta = std::make_unique<DeltaController>(source, Qvis::WindowStyle{}, reference);
        strip = std::make_unique<ThrottleBrakeTraceController>(source, 10, Qvis::WindowStyle{}, reference);
    }

    bool step()
    {
        if (!source->updateData())
            return false;
        delta->updateData();
        strip->updateData();
        return true;
    }

    float stripLine() { return strip->getModel()->CommonModel<float>::getPtVar(IDataStrings::ZONE_T)->back(); }

    std::shared_ptr<IRData> source;
    std::shared_ptr<ReferenceLap> reference;
    std::unique_ptr<DeltaController> delta;
    std::unique_ptr<ThrottleBrakeTraceController> strip;
};

class DeltaOverlay : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TEST_DISPLAY(); }
};

} // namespace

// Each lap ends at its time from line to line minus the reference's, where
// the reference is the fastest lap before it, as the strip chooses; from the
// third lap on, passes and frames allocate nothing.
TEST_F(DeltaOverlay, EachLapEndsAtItsDifferenceToTheStripsReference)
{
    const std::string path = tempRecordingPath("delta_demo");
    ASSERT_TRUE(writeDemoSession(path, 6, 1));
    const std::vector<double> times = demoLapTimes(6, 1);
    Replay replay(path);
    DeltaModel& model = *replay.delta->getModel();
    DeltaView& view = *replay.delta->getView();

    unsigned long crossings = 0;
    struct Shown {
        DeltaModel::State state;
        float delta, predicted;
    } before{DeltaModel::State::NoReference, 0.0f, 0.0f};
    long allocations = -1;
    int framesDrawn = 0;
    while (replay.step()) {
        const unsigned long now = replay.reference->clock().crossings();
        if (now != crossings) {
            // Lap `crossings` ended on this sample: look at the one before the line.
            const int lap = static_cast<int>(crossings);
            if (lap == 1) {
                EXPECT_EQ(before.state, DeltaModel::State::NoReference) << "lap 1 has no reference yet";
            } else if (lap >= 2) {
                double best = times[0];
                for (int k = 1; k < lap - 1; ++k)
                    best = std::min(best, times[static_cast<size_t>(k)]);
                const double lapTime = times[static_cast<size_t>(lap - 1)];
                EXPECT_EQ(before.state, DeltaModel::State::Timing) << lap;
                EXPECT_NEAR(before.delta, lapTime - best, 0.01) << "lap " << lap;
                EXPECT_NEAR(before.predicted, lapTime, 0.01) << "lap " << lap;
            }
            crossings = now;
        }
        before = {model.state(), model.delta(), model.predictedLapTime()};
        // Half way into lap 4, with three laps behind: a few first frames
        // (the shader programs are built and the glyphs loaded when first
        // drawn with), then count a few hundred passes with a frame each.
        if (crossings == 4 && replay.reference->sample().pct > 0.5f && framesDrawn < 310) {
            view.drawFrame();
            if (++framesDrawn == 10)
                allocations = heapAllocations();
            if (framesDrawn == 310) {
                EXPECT_EQ(heapAllocations() - allocations, 0) << "heap allocations in 300 passes and frames";
            }
        }
    }
    EXPECT_EQ(crossings, 7u);
    EXPECT_EQ(framesDrawn, 310);
    std::remove(path.c_str());
}

namespace {

// A lap of the pedal recordings' track and car, throttle = position, timed
// at fifty seconds from line to line when asked, kept in its own folder.
std::shared_ptr<ReferenceLapKeeper> keptLap(const TempFolder& dir, bool timed)
{
    StoredLap lap;
    lap.key = {"testring", "testcar"};
    lap.lapTime = 50.0f;
    lap.timed = timed;
    lap.lineTime = timed ? 50.0f : 0.0f;
    for (int i = 1; i < 10; ++i)
        lap.points.push_back({0.1f * i, 0.1f * i, 0.0f, timed ? 5.0f * i : 0.0f, 0.0f});
    std::string error;
    EXPECT_EQ(LapStore(dir.path()).save(lap, true, &error), LapStore::SaveStatus::Stored) << error;
    return std::make_shared<ReferenceLapKeeper>("test", dir.path());
}

// Half a lap up to 0.95, then across the line to 0.02, 16 ms a sample.
std::string halfLapAcrossTheLine()
{
    std::vector<PedalSample> samples;
    appendLap(samples, 1, fractionRamp(10, 0.5f, 0.05f), 0.2f, 0.0f, 0.0f);
    appendLap(samples, 2, {0.02f, 0.05f, 0.3f}, 0.2f, 0.0f, 0.0f);
    const std::string path = tempRecordingPath("delta_half_lap");
    EXPECT_TRUE(writePedalRecording(path, samples));
    return path;
}

// Crossed between 0.95 and 0.02, 16 ms apart: 5/7 of the way; the kept lap
// is at 1 s at 0.02.
const float kDeltaAfterTheLine = 0.016f * 2.0f / 7.0f - 1.0f;

} // namespace

// A kept lap of version 1 is the strip's reference from the first sample but
// gives no delta; the same lap kept with its timing does, from the line on.
TEST_F(DeltaOverlay, AKeptLapWithoutTimingGivesTheStripButNoDelta)
{
    const std::string path = halfLapAcrossTheLine();
    for (bool timed : {false, true}) {
        SCOPED_TRACE(timed ? "version 2" : "version 1");
        TempFolder dir("laps");
        Replay replay(path, keptLap(dir, timed));
        ASSERT_TRUE(replay.step());
        EXPECT_FLOAT_EQ(replay.stripLine(), 0.5f) << "the kept lap's throttle at 0.5";
        EXPECT_EQ(replay.delta->getModel()->state(),
                  timed ? DeltaModel::State::OutLap : DeltaModel::State::NoReference);
        while (replay.reference->clock().crossings() == 0)
            ASSERT_TRUE(replay.step());
        if (timed) {
            EXPECT_EQ(replay.delta->getModel()->state(), DeltaModel::State::Timing);
            EXPECT_NEAR(replay.delta->getModel()->delta(), kDeltaAfterTheLine, 1e-4);
        } else {
            EXPECT_EQ(replay.delta->getModel()->state(), DeltaModel::State::NoReference);
        }
    }
    std::remove(path.c_str());
}

// A new session on the sample just before the line, told to both overlays
// as the main loop does (each starts afresh, then takes the sample): the
// reference stays, and the crossing that follows starts the timing.
TEST_F(DeltaOverlay, ANewSessionKeepsTheReferenceAndTimesFromTheNextCrossing)
{
    const std::string path = halfLapAcrossTheLine();
    TempFolder dir("laps");
    Replay replay(path, keptLap(dir, true));
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(replay.step());
    ASSERT_TRUE(replay.source->updateData()); // 0.95: the new session's first sample
    replay.delta->startAfresh();
    replay.delta->updateData();
    replay.strip->startAfresh();
    replay.strip->updateData();
    EXPECT_EQ(replay.delta->getModel()->state(), DeltaModel::State::OutLap);
    ASSERT_TRUE(replay.step()); // 0.02
    EXPECT_EQ(replay.delta->getModel()->state(), DeltaModel::State::Timing);
    EXPECT_NEAR(replay.delta->getModel()->delta(), kDeltaAfterTheLine, 1e-4);
    std::remove(path.c_str());
}

// A kept lap belongs to its track and car: a new session of another car
// starts without it, for the strip and the delta alike.
TEST_F(DeltaOverlay, ANewSessionOfAnotherCarStartsWithoutTheKeptLap)
{
    const std::string path = halfLapAcrossTheLine();
    std::vector<PedalSample> samples;
    appendLap(samples, 1, fractionRamp(10, 0.5f, 0.05f), 0.2f, 0.0f, 0.0f);
    const std::string otherCar = tempRecordingPath("delta_other_car");
    ASSERT_TRUE(writePedalRecording(otherCar, samples, "othercar"));
    TempFolder dir("laps");
    ReferenceLap reference;
    reference.keepLaps(keptLap(dir, true));
    IRData first(path.c_str());
    ASSERT_TRUE(first.updateData());
    reference.update(first);
    ASSERT_NE(reference.timedReference(), nullptr);
    EXPECT_FLOAT_EQ(reference.lineThrottle(), 0.5f) << "the kept lap's throttle at 0.5";

    IRData second(otherCar.c_str());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(second.updateData());
    reference.startAfresh(second);
    reference.update(second);
    EXPECT_EQ(reference.timedReference(), nullptr);
    EXPECT_FLOAT_EQ(reference.lineThrottle(), 0.0f) << "the indications of a run without a reference";
    std::remove(path.c_str());
    std::remove(otherCar.c_str());
}

namespace {

bool isRedBar(Rgb p)
{
    return p.r > 150 && p.g < 130 && p.b < 130;
}

bool isGreenBar(Rgb p)
{
    return p.g > 150 && p.r < 130 && p.b < 130;
}

} // namespace

// The bar runs from the centre to the side of the sign, full at two seconds,
// in the colour of the sign, and so do the figures above it.
TEST_F(DeltaOverlay, TheBarAndTheFiguresTakeTheSideAndColourOfTheSign)
{
    DeltaModel model;
    DeltaView view(model);
    const int w = view.getWidth(), h = view.getHeight();
    const int centre = w / 2, band = static_cast<int>(0.42 * h);
    const int barEnd = static_cast<int>(0.95 * w);
    struct Case {
        float delta;
        int reaches; // x the bar reaches at the band's middle
        bool (*colour)(Rgb);
    };
    const Case cases[] = {
        {0.8f, centre + static_cast<int>(0.4f * (barEnd - centre)) - 2, isRedBar},
        {-1.0f, centre - (barEnd - centre) / 2 + 2, isGreenBar},
        {5.0f, barEnd - 2, isRedBar}, // clamped at the end, the figures exact
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.delta);
        model.setTiming(c.delta, 36.0f + c.delta);
        view.drawFrame();
        const Pixels px(w, h);
        EXPECT_TRUE(c.colour(px.at(c.reaches, band))) << "the bar reaches x " << c.reaches;
        const int other = c.delta > 0 ? centre - 10 : centre + 10;
        EXPECT_FALSE(isRedBar(px.at(other, band)) || isGreenBar(px.at(other, band))) << "nothing on the other side";
        int figures = 0;
        for (int y = static_cast<int>(0.6 * h); y < h; ++y)
            for (int x = 0; x < w; ++x)
                figures += c.colour(px.at(x, y));
        EXPECT_GT(figures, 200) << "the figures in the sign's colour";
    }

    model.setNoReference();
    view.setMessage("No reference lap yet");
    view.drawFrame();
    const Pixels px(w, h);
    int coloured = 0, white = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb p = px.at(x, y);
            coloured += isRedBar(p) || isGreenBar(p);
            white += p.r > 180 && p.g > 180 && p.b > 180;
        }
    EXPECT_EQ(coloured, 0) << "no bar and no figures without a reference";
    EXPECT_GT(white, 50) << "the message";
}
