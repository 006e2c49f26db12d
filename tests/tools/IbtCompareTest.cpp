// ibt compare as a driver runs it after a session, with no display at all:
// the picture read back from its PNG file, lane by lane, and bad input that
// costs one line and writes nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "compare_layout.h"
#include "demo_synth.h"
#include "pedal_recording.h"
#include "temp_folder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

// ibt compare in the run folder (where the shaders are), with no display:
// DISPLAY and WAYLAND_DISPLAY are removed from the test's own environment.
Outcome compare(const TempFolder& dir, std::vector<std::string> args)
{
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    args.insert(args.begin(), {IBT_PATH, "compare"});
    ChildProcess ibt(args, dir.path() + "/out.txt", dir.path() + "/err.txt");
    const int status = ibt.wait();
    return {status, ibt.out(), ibt.err()};
}

bool exists(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

// A picture read back: red, green, blue, the top row first.
struct Picture {
    explicit Picture(const std::string& path)
    {
        int channels = 0;
        unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
        if (data)
            rgb.assign(data, data + static_cast<size_t>(w) * h * 3);
        stbi_image_free(data);
    }
    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
    bool blue(int x, int y) const { return at(x, y)[2] > 180 && at(x, y)[0] < 130; }
    bool orange(int x, int y) const { return at(x, y)[0] > 180 && at(x, y)[1] > 110 && at(x, y)[2] < 60; }
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
};

// The rows, top down, of lane i of n's axes.
struct Rows {
    int top, bottom;
};

Rows laneRows(const Picture& p, int i, int n)
{
    const compare_layout::Band b = compare_layout::laneAxes(i, n);
    return {static_cast<int>((1.0f - b.top) * p.h) - 1, static_cast<int>((1.0f - b.bottom) * p.h) + 2};
}

const int kLanes = 6; // delta, speed, throttle, brake, gear, steering

class IbtCompare : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeDemoSession(demo, 6, 1)); }

    TempFolder dir{"compare"};
    const std::string demo = dir.path() + "/demo.ibt";
    const std::string picture = dir.path() + "/lap.png";
};

} // namespace

// The demo's slowest lap (1) against its fastest (6): the size asked, both
// laps in their colours in every lane, and a delta that ends above zero.
TEST_F(IbtCompare, TheSlowestLapAgainstTheFastestLaneByLane)
{
    const Outcome r = compare(dir, {demo, "--lap", "1", "--against", "6", "--out", picture, "--size", "1200x900"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Picture p(picture);
    ASSERT_EQ(p.w, 1200);
    ASSERT_EQ(p.h, 900);
    for (int lane = 0; lane < kLanes; ++lane) {
        const Rows rows = laneRows(p, lane, kLanes);
        int blue = 0, orange = 0;
        for (int y = rows.top; y < rows.bottom; ++y)
            for (int x = 0; x < p.w; ++x) {
                blue += p.blue(x, y);
                orange += p.orange(x, y);
            }
        EXPECT_GT(blue, 200) << "lane " << lane;
        EXPECT_GT(orange, 200) << "lane " << lane;
    }
    // The other lap's delta is the zero line; lap 1's last column lies above it.
    const Rows delta = laneRows(p, 0, kLanes);
    int lastBlueX = -1, lastBlueY = 0, zeroY = -1;
    for (int x = 0; x < p.w; ++x)
        for (int y = delta.top; y < delta.bottom; ++y) {
            if (p.blue(x, y)) {
                lastBlueX = x;
                lastBlueY = y;
            }
            if (zeroY < 0 && p.orange(x, y))
                zeroY = y;
        }
    ASSERT_GE(zeroY, 0);
    EXPECT_GT(lastBlueX, p.w * 0.9) << "the delta runs to the end of the lap";
    EXPECT_LT(lastBlueY, zeroY - 20) << "lap 1 ends well behind lap 6";
}

// A lap against itself: one trace over the other (the other's colour shows
// only along the edges of the lap's own) and a delta flat on zero.
TEST_F(IbtCompare, ALapAgainstItselfIsOneTraceOverTheOtherAndAFlatDelta)
{
    const Outcome r = compare(dir, {demo, "--lap", "4", "--against", "4", "--out", picture});
    ASSERT_EQ(r.status, 0) << r.err;
    const Picture p(picture);
    ASSERT_EQ(p.w, 1600);
    ASSERT_EQ(p.h, 1000);
    int orange = 0, alone = 0, top = p.h, bottom = 0;
    const Rows delta = laneRows(p, 0, kLanes);
    for (int y = laneRows(p, 0, kLanes).top; y < laneRows(p, kLanes - 1, kLanes).bottom; ++y)
        for (int x = 1; x + 1 < p.w; ++x) {
            if (p.orange(x, y)) {
                ++orange;
                bool beside = false;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        beside = beside || (y + dy >= 0 && y + dy < p.h && p.blue(x + dx, y + dy));
                alone += !beside;
            }
            if (y >= delta.top && y < delta.bottom && p.blue(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    EXPECT_GT(orange, 1000) << "the other lap's edges";
    EXPECT_EQ(alone, 0) << "orange away from the lap's own trace";
    EXPECT_LE(bottom - top, 2) << "the delta's rows";
}

// No completed lap, a lap that is not one, a picture that cannot be written
// and a recording of another track: one line each, status 2, no picture. A
// recording without some lanes' variables costs those lanes, a line each.
TEST_F(IbtCompare, BadInputIsOneLineAndWritesNothing)
{
    std::vector<PedalSample> half, laps;
    appendLap(half, 1, fractionRamp(10, 0.5f, 0.05f), 0.5f, 0.0f, 0.0f);
    for (int lap = 1; lap <= 4; ++lap)
        appendLap(laps, lap, fractionRamp(20, 0.01f, 0.05f), 0.5f, 0.0f, 30.0f);
    const std::string noLap = dir.path() + "/half.ibt", otherTrack = dir.path() + "/testring.ibt";
    ASSERT_TRUE(writePedalRecording(noLap, half));
    ASSERT_TRUE(writePedalRecording(otherTrack, laps));
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{noLap}, "no lap driven from start line to start line"},
        {{demo, "--lap", "9"}, "lap 9 is not a completed lap"},
        {{demo, "--with", otherTrack}, "is a recording of testring, not of demo_ring"},
        {{demo, "--against", "2", "--reference"}, "name one lap"},
        {{demo, "--size", "10x10"}, "--size"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--out", picture});
        const Outcome r = compare(dir, args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_FALSE(exists(picture)) << c.says;
    }
    for (const std::string& out : {dir.path() + "/no/such/folder/lap.png", demo + "/lap.png"}) {
        const Outcome r = compare(dir, {demo, "--out", out});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("ibt: compare: cannot write " + out, 0), 0u) << r.err;
    }

    const Outcome r = compare(dir, {otherTrack, "--out", picture});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "ibt: compare: " + otherTrack + " has no Speed; its lane is left out\n"
                     "ibt: compare: " + otherTrack + " has no Gear; its lane is left out\n"
                     "ibt: compare: " + otherTrack + " has no SteeringWheelAngle; its lane is left out\n");
    EXPECT_TRUE(exists(picture));
}
