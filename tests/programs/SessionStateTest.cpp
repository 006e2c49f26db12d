// The three overlays in one main loop on a stand-in simulator's live
// telemetry, read back by pixels: a simulator that stops dims every picture
// under one line, the same session coming back brings the pictures back as
// they were, and another session starts every picture afresh, with nothing
// drawn that joins the two sessions.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MainLoop.h"
#include "ThrottleBrakeTraceController.h"
#include "TrackMapController.h"
#include "VariablePlotController.h"
#include "overlay_pixels.h"
#include "private_live_names.h"
#include "stand_in_simulator.h"

namespace {

const std::vector<std::pair<const char*, int>> kVars = {
    {"SessionTime", irsdk_double}, {"SessionUniqueId", irsdk_int}, {"IsOnTrack", irsdk_bool},
    {"Throttle", irsdk_float},     {"LapDistPct", irsdk_float},    {"Lap", irsdk_int},
    {"VelocityX", irsdk_float},    {"YawNorth", irsdk_float},      {"Speed", irsdk_float}};
const char* const kText = "WeekendInfo:\n TrackName: testring\n";

// A session's drive: straight on at 20 m/s, one record a frame from `start`.
struct Drive {
    double start;
    int uniqueId;
    float yaw;      // east, or along the map's y axis
    float throttle; // the strip's area
    float speed;    // the plot's line
};
const Drive kFirst{100.0, 1, 0.0f, 0.8f, 20.0f};
// Begins two seconds before the first ended, and on another heading.
const Drive kSecond{99.0, 2, 1.5707963f, 0.3f, 50.0f};
// Begins long after the second ended, back on the first heading.
const Drive kThird{150.0, 3, 0.0f, 0.9f, 35.0f};

class SessionState : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_DISPLAY();
        useProcessPrivateNames("sessionstate");
        source = std::make_shared<IRData>();
        strip = std::make_unique<ControllerOverlay<ThrottleBrakeTraceController>>(OverlayKind::Strip, source, 10);
        map = std::make_unique<ControllerOverlay<TrackMapController>>(OverlayKind::TrackMap, source, 10);
        plot = std::make_unique<ControllerOverlay<VariablePlotController>>(
            OverlayKind::VarPlot, source, 10, std::vector<VarSetup>{{VarSetup::VALUE_FLOAT, "Speed", IDataStrings::THROTTLE}});
        loop = {strip.get(), map.get(), plot.get()};
        ASSERT_TRUE(simulator.start(kVars, kText));
    }

    void TearDown() override
    {
        simulator.stop();
        loop.clear();
        plot.reset();
        map.reset();
        strip.reset();
        source.reset();
    }

    // Passes of the main loop, each with one record of the drive: samples
    // from..from + count - 1.
    void drive(const Drive& d, int from, int count)
    {
        for (int i = from; i < from + count; ++i) {
            const double t = i / 60.0;
            simulator.send({{"SessionTime", d.start + t}, {"SessionUniqueId", d.uniqueId}, {"IsOnTrack", 1},
                            {"Throttle", d.throttle}, {"LapDistPct", 0.1 + 0.001 * i}, {"Lap", 1},
                            {"VelocityX", 20.0}, {"YawNorth", d.yaw}, {"Speed", d.speed}});
            runPass(*source, loop, state);
        }
    }

    // An overlay's frame, drawn again and read back before it is shown.
    template <class Controller>
    Pixels frame(ControllerOverlay<Controller>& overlay)
    {
        overlay.drawWindow();
        return Pixels(overlay.controller.getView()->getWidth(), overlay.controller.getView()->getHeight());
    }

    // Whether the overlay's picture is dimmed under the line: the top left
    // corner, background in every picture here, at a third of its grey, and
    // the line's white in the middle.
    template <class Controller>
    bool stale(ControllerOverlay<Controller>& overlay)
    {
        const Pixels px = frame(overlay);
        const int w = px.width(), h = px.height();
        const bool dimmed = px.at(3, h - 3).g < 30;
        const int text = extentOf(px, w / 2 - 100, h / 2 - 15, w / 2 + 100, h / 2 + 15, isWhite).count;
        return dimmed && text > 50;
    }

    // The map's path and the plot's line after a new session's second: the
    // path from the origin straight on, along x or y only, the line flat.
    bool afresh(ControllerOverlay<TrackMapController>& mapOverlay, ControllerOverlay<VariablePlotController>& plotOverlay,
                bool alongX)
    {
        const Extent path = insideAxes(frame(mapOverlay), isWhite);
        const int across = alongX ? path.height() : path.width();
        const int along = alongX ? path.width() : path.height();
        EXPECT_GT(along, 300);
        EXPECT_LE(across, 4) << "the path joins the two sessions";
        // Right of the legend.
        const Extent line = insideAxes(frame(plotOverlay), isCyan, 450);
        EXPECT_GT(line.count, 20);
        EXPECT_LE(line.height(), 4) << "the line joins the two sessions";
        return along > 300 && across <= 4 && line.count > 20 && line.height() <= 4;
    }

    // The matching pixels inside the axes of the map and the plot, away
    // from their outline, from column `left` on.
    static Extent insideAxes(const Pixels& px, bool (*match)(Rgb), int left = 0)
    {
        const AxesRect r = overlayAxesRect(px.width(), px.height());
        return extentOf(px, std::max(left, static_cast<int>(r.left) + 3), static_cast<int>(r.bottom) + 3,
                        static_cast<int>(r.right) - 3, static_cast<int>(r.top) - 3, match);
    }

    template <class Controller>
    bool live(ControllerOverlay<Controller>& overlay)
    {
        const Pixels px = frame(overlay);
        return isBackground(px.at(3, px.height() - 3), 3);
    }

    StandInSimulator simulator;
    std::shared_ptr<IRData> source;
    std::unique_ptr<ControllerOverlay<ThrottleBrakeTraceController>> strip;
    std::unique_ptr<ControllerOverlay<TrackMapController>> map;
    std::unique_ptr<ControllerOverlay<VariablePlotController>> plot;
    std::vector<Overlay*> loop;
    LoopState state{3};
};

TEST_F(SessionState, StoppedDimsEverySessionGoingOnComesBackAnotherStartsAfresh)
{
    drive(kFirst, 0, 60);
    EXPECT_TRUE(live(*strip) && live(*map) && live(*plot));

    // The simulator stops: every picture says so at once.
    simulator.stop();
    runPass(*source, loop, state);
    EXPECT_TRUE(stale(*strip));
    EXPECT_TRUE(stale(*map));
    EXPECT_TRUE(stale(*plot));

    // The same session on a new connection: the pictures come back as they
    // were, the map's path still running east from where it began.
    ASSERT_TRUE(simulator.start(kVars, kText));
    drive(kFirst, 60, 30);
    EXPECT_TRUE(live(*strip) && live(*map) && live(*plot));
    EXPECT_GT(insideAxes(frame(*map), isWhite).width(), 400);

    // Another session, whose time begins before the last one's ended: the
    // map's path runs from the origin along y only, and the plot's line
    // lies flat at the new speed.
    drive(kSecond, 0, 60);
    EXPECT_TRUE(afresh(*map, *plot, false));

    // And one whose time begins long after: the same, and the strip's area
    // covers the new session's second only.
    drive(kThird, 0, 60);
    EXPECT_TRUE(afresh(*map, *plot, true));
    const Pixels pedals = frame(*strip);
    const Extent area = extentOf(pedals, 0, 0, pedals.width(), pedals.height(),
                                 [](Rgb p) { return p.g > p.r + 60 && p.g > p.b + 60; });
    EXPECT_GT(area.count, 0);
    EXPECT_GT(area.left, pedals.width() * 8 / 10) << "the strip's area joins the two sessions";
}

} // namespace
