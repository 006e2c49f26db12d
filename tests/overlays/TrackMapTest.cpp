// The track map: the dead-reckoning step, the first passes of the controller,
// the demo session's laps reconstructed against the synthesizer's own track,
// and the drawn map on real pixels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <glad/gl.h>
#include <gtest/gtest.h>

#include "TrackMapController.h"
#include "demo_synth.h"
#include "ibt_writer.h"
#include "overlay_pixels.h"
#include "pedal_recording.h"

namespace {

const float kPi = 3.14159265358979f;

struct StepCase {
    glm::vec3 vPrev, vCur;
    float dt, yaw;
    glm::vec3 pPrev, expected;
};

TEST(CalculatePosition, TrapezoidStepTurnedByTheNegativeHeading)
{
    const StepCase cases[] = {
        // straight ahead at 10 m/s for one 16 ms tick
        {{10, 0, 0}, {10, 0, 0}, 0.016f, 0.0f, {0, 0, 0}, {0.16f, 0, 0}},
        // heading a quarter turn: the step turns clockwise onto -y
        {{10, 0, 0}, {10, 0, 0}, 0.016f, kPi / 2, {0, 0, 0}, {0, -0.16f, 0}},
        // the mean of both velocities, not the end velocity
        {{0, 0, 0}, {2, 0, 0}, 1.0f, 0.0f, {0, 0, 0}, {1, 0, 0}},
        // a sideways component turns with x; the result adds to the old position
        {{3, 4, 0}, {3, 4, 0}, 1.0f, kPi / 2, {1, 1, 1}, {5, -2, 1}},
        {{3, 4, 0}, {3, 4, 0}, 1.0f, kPi, {0, 0, 0}, {-3, -4, 0}},
        // z integrates but never turns
        {{0, 0, 1}, {0, 0, 3}, 0.5f, 1.0f, {0, 0, 2}, {0, 0, 3}},
        {{0, 0, -2}, {0, 0, -2}, 0.25f, -2.0f, {0, 0, 0}, {0, 0, -0.5f}},
        // time running backwards steps backwards
        {{4, 0, 0}, {4, 0, 0}, -0.5f, 0.0f, {10, 0, 0}, {8, 0, 0}},
        {{5, 5, 5}, {5, 5, 5}, 0.0f, 0.7f, {1, 2, 3}, {1, 2, 3}},
    };
    for (const StepCase& c : cases) {
        const glm::vec3 p = TrackMapController::calculatePosition(c.vPrev, c.vCur, c.dt, c.yaw, c.pPrev);
        EXPECT_NEAR(p.x, c.expected.x, 1e-5f) << "dt " << c.dt << " yaw " << c.yaw;
        EXPECT_NEAR(p.y, c.expected.y, 1e-5f) << "dt " << c.dt << " yaw " << c.yaw;
        EXPECT_NEAR(p.z, c.expected.z, 1e-5f) << "dt " << c.dt << " yaw " << c.yaw;
    }
}

struct MotionSample {
    double time;
    float vx, vy, vz, yawNorth;
};

bool writeMotionRecording(const std::string& path, const std::vector<MotionSample>& samples)
{
    IbtWriter w;
    const int time = w.addVar("SessionTime", irsdk_double);
    const int vx = w.addVar("VelocityX", irsdk_float);
    const int vy = w.addVar("VelocityY", irsdk_float);
    const int vz = w.addVar("VelocityZ", irsdk_float);
    const int yaw = w.addVar("YawNorth", irsdk_float);
    const int onTrack = w.addVar("IsOnTrack", irsdk_bool);
    for (const MotionSample& s : samples) {
        w.beginRecord();
        w.set(time, s.time);
        w.set(vx, s.vx);
        w.set(vy, s.vy);
        w.set(vz, s.vz);
        w.set(yaw, s.yawNorth);
        w.setInt(onTrack, 1);
        w.endRecord();
    }
    return w.writeFile(path);
}

class TrackMapPasses : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TEST_DISPLAY(); }
    void TearDown() override
    {
        controller.reset();
        source.reset();
        if (!path.empty())
            std::remove(path.c_str());
    }

    void open(const std::vector<MotionSample>& samples, unsigned int historySeconds)
    {
        path = tempRecordingPath("motion");
        ASSERT_TRUE(writeMotionRecording(path, samples));
        source = std::make_shared<IRData>(path.c_str());
        controller = std::make_unique<TrackMapController>(source, historySeconds);
    }

    void pass()
    {
        source->updateData();
        controller->updateData();
    }

    std::vector<float>& history(IDataStrings::VariableEnum v) { return *controller->getModel()->getPtVar(v); }

    std::string path;
    std::shared_ptr<IRData> source;
    std::unique_ptr<TrackMapController> controller;
};

TEST_F(TrackMapPasses, MapStartsAtTheOriginAndStepsWithThePreviousHeading)
{
    open({{100.0, 10, 0, 0, kPi / 2}, {100.016, 10, 0, 0, 0}, {100.032, 10, 0, 0, 0}}, 10);
    pass();
    EXPECT_EQ(history(IDataStrings::SESSION_TIME), std::vector<float>{0.0f});
    EXPECT_EQ(history(IDataStrings::VELOCITY_X), std::vector<float>{10.0f});
    EXPECT_EQ(history(IDataStrings::YAW_NORTH).size(), 1u);
    EXPECT_EQ(history(IDataStrings::POSITION_X), std::vector<float>{0.0f});
    EXPECT_EQ(history(IDataStrings::POSITION_Y), std::vector<float>{0.0f});
    EXPECT_FLOAT_EQ(controller->getModel()->getPrevSessionTime(), 100.0f);

    // The second step uses the heading stored on the first pass (a quarter
    // turn), not the new heading 0.
    pass();
    ASSERT_EQ(history(IDataStrings::POSITION_X).size(), 2u);
    EXPECT_NEAR(history(IDataStrings::POSITION_X)[1], 0.0f, 1e-4f);
    EXPECT_NEAR(history(IDataStrings::POSITION_Y)[1], -0.16f, 1e-4f);

    pass();
    ASSERT_EQ(history(IDataStrings::POSITION_X).size(), 3u);
    EXPECT_NEAR(history(IDataStrings::POSITION_X)[2], 0.16f, 1e-4f);
    EXPECT_NEAR(history(IDataStrings::POSITION_Y)[2], -0.16f, 1e-4f);
    EXPECT_EQ(history(IDataStrings::POSITION_Z).size(), history(IDataStrings::SESSION_TIME).size());
}

TEST_F(TrackMapPasses, OneSampleHistoryNeverWritesAPosition)
{
    // No history seconds leaves a ring of one sample: it keeps the newest time
    // and the map stays at the origin.
    open({{1.0, 5, 0, 0, 0}, {2.0, 5, 0, 0, 0}, {3.0, 5, 0, 0, 0}}, 0);
    for (int i = 0; i < 3; ++i)
        pass();
    EXPECT_EQ(history(IDataStrings::SESSION_TIME), std::vector<float>{2.0f});
    EXPECT_EQ(history(IDataStrings::POSITION_X), std::vector<float>{0.0f});
    EXPECT_EQ(controller->getModel()->getCurrStartIndex(), 0u);
}

// One pass of the demo replay: what the recording says and where the map is.
struct DemoPass {
    double time;
    int lap;
    double lapDist;
    double steering;
    double x, y;
};

// Replays a demo session through a track map controller; `each` sees the
// controller after every pass.
template <typename F>
std::vector<DemoPass> replayDemo(const std::string& path, int laps, unsigned int historySeconds, F each)
{
    std::vector<DemoPass> out;
    if (!writeDemoSession(path, laps, 7)) {
        ADD_FAILURE() << "cannot write the demo session";
        return out;
    }
    auto source = std::make_shared<IRData>(path.c_str());
    TrackMapController controller(source, historySeconds);
    double lastTime = -1.0;
    for (;;) {
        source->updateData();
        const double t = source->getVarDouble("SessionTime", 0);
        if (t == lastTime)
            break;
        lastTime = t;
        controller.updateData();
        const glm::vec3 p = controller.getModel()->getPrevPosition();
        out.push_back({t, source->getVarInt("Lap", 0), source->getVarFloat("LapDist", 0),
                       source->getVarFloat("SteeringWheelAngle", 0), p.x, p.y});
        each(controller);
    }
    source->endSession();
    std::remove(path.c_str());
    return out;
}

struct Point {
    double x, y;
};

// The map position where the car crossed the line into lap `lap`,
// interpolated between the passes either side of it.
Point lineCrossing(const std::vector<DemoPass>& run, int lap, double trackLength)
{
    for (size_t i = 1; i < run.size(); ++i) {
        if (run[i].lap == lap && run[i - 1].lap == lap - 1) {
            const double before = trackLength - run[i - 1].lapDist;
            const double f = before / (before + run[i].lapDist);
            return {run[i - 1].x + f * (run[i].x - run[i - 1].x), run[i - 1].y + f * (run[i].y - run[i - 1].y)};
        }
    }
    ADD_FAILURE() << "no crossing into lap " << lap;
    return {0, 0};
}

// The synthesizer's track for one lap, built from its curvature alone: the
// recorded steering angle is 14 atan(2.8 curvature), integrated over the
// recorded lap distance. Independent of the velocities and headings that the
// dead reckoning uses.
std::vector<Point> trackFromCurvature(const std::vector<const DemoPass*>& lap)
{
    std::vector<Point> out;
    double heading = 0.0, x = 0.0, y = 0.0;
    auto curvature = [](const DemoPass* p) { return std::tan(p->steering / 14.0) / 2.8; };
    out.push_back({x, y});
    for (size_t i = 1; i < lap.size(); ++i) {
        const double ds = lap[i]->lapDist - lap[i - 1]->lapDist;
        const double dh = 0.5 * ds * (curvature(lap[i - 1]) + curvature(lap[i]));
        x += ds * std::cos(heading + 0.5 * dh);
        y += ds * std::sin(heading + 0.5 * dh);
        heading += dh;
        out.push_back({x, y});
    }
    return out;
}

// Largest distance between matching points after the best rigid motion
// (rotation and translation, no mirroring) of `a` onto `b`.
double rigidMisfit(const std::vector<Point>& a, const std::vector<Point>& b, double* angle)
{
    const size_t n = a.size();
    Point ca{0, 0}, cb{0, 0};
    for (size_t i = 0; i < n; ++i) {
        ca.x += a[i].x / n;
        ca.y += a[i].y / n;
        cb.x += b[i].x / n;
        cb.y += b[i].y / n;
    }
    double sdot = 0.0, scross = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double ax = a[i].x - ca.x, ay = a[i].y - ca.y, bx = b[i].x - cb.x, by = b[i].y - cb.y;
        sdot += ax * bx + ay * by;
        scross += ax * by - ay * bx;
    }
    *angle = std::atan2(scross, sdot);
    const double c = std::cos(*angle), s = std::sin(*angle);
    double worst = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double ax = a[i].x - ca.x, ay = a[i].y - ca.y;
        const double dx = c * ax - s * ay - (b[i].x - cb.x), dy = s * ax + c * ay - (b[i].y - cb.y);
        worst = std::max(worst, std::hypot(dx, dy));
    }
    return worst;
}

TEST(TrackMapDemoReplay, EveryLapClosesAndHasTheSynthesizersShape)
{
    REQUIRE_TEST_DISPLAY();
    const int laps = 3;
    const double length = demoTrackLength();
    std::vector<DemoPass> run = replayDemo(tempRecordingPath("demo-map"), laps, 10, [](TrackMapController&) {});
    ASSERT_GT(run.size(), 1000u);

    for (int lap = 1; lap <= laps; ++lap) {
        SCOPED_TRACE("lap " + std::to_string(lap));
        const Point start = lineCrossing(run, lap, length);
        const Point end = lineCrossing(run, lap + 1, length);
        const double closure = std::hypot(end.x - start.x, end.y - start.y);

        std::vector<const DemoPass*> passes;
        for (const DemoPass& p : run)
            if (p.lap == lap)
                passes.push_back(&p);
        double travelled = 0.0;
        for (size_t i = 1; i < passes.size(); ++i)
            travelled += std::hypot(passes[i]->x - passes[i - 1]->x, passes[i]->y - passes[i - 1]->y);
        travelled += std::hypot(passes.front()->x - start.x, passes.front()->y - start.y);
        travelled += std::hypot(end.x - passes.back()->x, end.y - passes.back()->y);

        std::vector<Point> map;
        for (const DemoPass* p : passes)
            map.push_back({p->x, p->y});
        double angle = 0.0;
        const double misfit = rigidMisfit(map, trackFromCurvature(passes), &angle);
        std::printf("lap %d: closure %.3f m, length %.2f of %.2f m, misfit %.3f m, turned %.2f deg\n", lap,
                    closure, travelled, length, misfit, angle * 180.0 / kPi);

        EXPECT_LT(closure, 1.0);
        EXPECT_NEAR(travelled, length, 0.002 * length);
        EXPECT_LT(misfit, 1.0);
        // Compass headings put the synthesizer's east on the map's south: the
        // map is the track turned by a quarter, never mirrored.
        EXPECT_NEAR(angle * 180.0 / kPi, 90.0, 1.0);
    }
}

// Background pixels that a 4-connected fill from the window's border cannot
// reach: the area enclosed by whatever is drawn.
std::vector<char> enclosed(const Pixels& px)
{
    const int w = px.width(), h = px.height();
    std::vector<char> open(static_cast<size_t>(w) * h, 0);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return;
        const size_t i = static_cast<size_t>(y) * w + x;
        if (open[i] || !isBackground(px.at(x, y), 24))
            return;
        open[i] = 1;
        stack.push_back(static_cast<int>(i));
    };
    for (int x = 0; x < w; ++x) {
        push(x, 0);
        push(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        push(0, y);
        push(w - 1, y);
    }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % w, y = i / w;
        push(x + 1, y);
        push(x - 1, y);
        push(x, y + 1);
        push(x, y - 1);
    }
    std::vector<char> inside(open.size(), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * w + x;
            inside[i] = !open[i] && isBackground(px.at(x, y), 24);
        }
    return inside;
}

// Area of a closed polygon (shoelace).
double polygonArea(const std::vector<Point>& p)
{
    double a = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Point& q = p[(i + 1) % p.size()];
        a += p[i].x * q.y - q.x * p[i].y;
    }
    return std::fabs(a) / 2.0;
}

TEST(TrackMapPixels, DemoSessionDrawsOneClosedUndistortedLoop)
{
    REQUIRE_TEST_DISPLAY();
    // A history long enough for the whole drive: pit box, out lap, one lap.
    std::unique_ptr<Pixels> px;
    std::vector<float> limits;
    std::vector<DemoPass> run = replayDemo(tempRecordingPath("demo-pixels"), 1, 120, [&](TrackMapController& c) {
        if (px)
            return;
        std::vector<float>& t = *c.getModel()->getPtVar(IDataStrings::SESSION_TIME);
        if (t.empty() || t.back() < 85.0f)
            return;
        // The grey origin lines and the white box would cut the picture into
        // pieces of their own; the map line alone must enclose the track.
        std::shared_ptr<Qvis::Axes> axes = c.getView()->getPlot()->getAxes();
        axes->setXYAxesOn(false);
        axes->setAxesAreaOutlineOn(false);
        c.getView()->drawFrame(c.getModel()->getCurrStartIndex());
        px = std::make_unique<Pixels>(c.getView()->getWidth(), c.getView()->getHeight());
        limits = axes->getAxesLimits();
    });
    ASSERT_TRUE(px) << "the replay never reached 85 s";
    ASSERT_EQ(px->width(), 800);
    ASSERT_EQ(px->height(), 600);

    std::vector<Point> loop;
    double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
    for (const DemoPass& p : run) {
        if (p.time > 85.0)
            break;
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        if (p.lap == 1)
            loop.push_back({p.x, p.y});
    }

    // Equal scales: the limits give the same metres per pixel across and up.
    const AxesRect rect = overlayAxesRect(800, 600);
    const double mppX = (limits[1] - limits[0]) / rect.width();
    const double mppY = (limits[3] - limits[2]) / rect.height();

    // Where the line is drawn: the bounding box of everything bright inside
    // the axes rectangle, against the bounding box of the path.
    int left = 800, right = -1, bottom = 600, top = -1;
    for (int y = static_cast<int>(rect.bottom) + 1; y < static_cast<int>(rect.top); ++y)
        for (int x = static_cast<int>(rect.left) + 1; x < static_cast<int>(rect.right); ++x)
            if (!isBackground(px->at(x, y), 40)) {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::min(bottom, y);
                top = std::max(top, y);
            }
    ASSERT_GT(right, left);
    const double drawnMppX = (maxX - minX) / (right - left);
    const double drawnMppY = (maxY - minY) / (top - bottom);

    std::vector<char> inside = enclosed(*px);
    long area = 0;
    for (char c : inside)
        area += c;
    const double expectedArea = polygonArea(loop) / (mppX * mppY);
    std::printf("limits %.1f %.1f %.1f %.1f; m/px %.4f x %.4f (limits), %.4f x %.4f (drawn); "
                "enclosed %ld px of %.0f\n",
                limits[0], limits[1], limits[2], limits[3], mppX, mppY, drawnMppX, drawnMppY, area, expectedArea);

    EXPECT_NEAR(mppX / mppY, 1.0, 1e-3);
    EXPECT_NEAR(drawnMppX / drawnMppY, 1.0, 0.02);
    // Every straight is there: the loop encloses the track's area.
    EXPECT_NEAR(area, expectedArea, 0.03 * expectedArea);
}

} // namespace
