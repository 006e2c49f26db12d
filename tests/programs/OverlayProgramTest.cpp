// The overlay program end to end on a real X server: what the strip shows
// after a replay, hiding while off track, Escape, argument errors and live
// telemetry from the publisher.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "child_process.h"
#include "desktop_session.h"
#include "files.h"
#include "pedal_recording.h"
#include "private_user_folders.h"
#include "temp_folder.h"
#include "test_display.h"
#include "window_capture.h"

namespace {

using Clock = std::chrono::steady_clock;
using Pixel = Picture::Pixel;

const char* kTitle = "qvisView";

// A run folder of its own: the shaders and the recording the program reads.
class RunFolder {
public:
    RunFolder() : path(folder.path())
    {
        char shaders[PATH_MAX];
        if (::realpath("Shaders", shaders)) {
            EXPECT_EQ(::symlink(shaders, (path + "/Shaders").c_str()), 0);
        }
    }
    std::string recording() const { return path + "/telemetry.ibt"; }

    // OVERLAY_TEST_KEEP=1 keeps the folder (recording, output) for a look.
    TempFolder folder{"overlay-run"};
    std::string path;
};

// Pixel classes of the strip over its grey background (the window's own pixels).
const Pixel kGrey{64, 64, 64};
const Pixel kGreenArea{32, 147, 32};         // throttle area, half opaque
const Pixel kRedArea{147, 32, 32};           // brake area, half opaque
const Pixel kRedOverGreen{131, 73, 16};      // both areas
bool near(Pixel a, Pixel b, int tol = 3)
{
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}
std::string str(Pixel p)
{
    return "(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + ")";
}
bool isGreenLine(Pixel p) { return p.g > 200 && p.r < 60; }
bool isRedLine(Pixel p) { return p.r > 200 && p.g < 60; }
// A reference line on the bottom edge: half of its width lies outside the
// strip, so the edge row mixes the line's pure colour (no blue) with what lies
// beneath; the grey background and the areas all carry blue.
bool isLineOnBottomEdge(Pixel p) { return p.b < 16 && p.r + p.g > 150; }

// Rows [from, to] of column x all have the colour.
void expectColumn(const Picture& pic, int x, int from, int to, Pixel colour, const char* what)
{
    for (int y = from; y <= to; ++y)
        ASSERT_TRUE(near(pic.at(x, y), colour)) << what << ": column " << x << " row " << y << " is "
                                                << str(pic.at(x, y)) << ", expected " << str(colour);
}

// Column of the strip where relative session time t lies, for the newest time.
int columnOf(double t, double newest)
{
    return static_cast<int>((t - (newest - 10.0)) / 10.0 * 700.0);
}

std::string overlayExe()
{
    return OVERLAY_EXE;
}

void pressEscape(const std::string& id)
{
    shellOutput("xdotool mousemove --window " + id + " 350 40; sleep 0.2; xdotool key Escape");
}

} // namespace

TEST(OverlayProgram, ReplayedStripShowsPedalsAndIndicationsBeforeTheFirstBoundary)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    const std::vector<float> pct = fractionRamp(150, 0.1f, 0.001f);
    appendLap(s, 1, pct, 1.0f, 0.0f, 0.0f);  // full throttle
    appendLap(s, 1, pct, 0.0f, 0.5f, 0.0f);  // half brake
    appendLap(s, 1, pct, 0.5f, 0.0f, 0.0f);  // half throttle
    ASSERT_TRUE(writePedalRecording(run.recording(), s));

    ChildProcess overlay(run.path, {overlayExe(), "file"});
    const std::string id = waitForWindow(kTitle, 15);
    ASSERT_FALSE(id.empty()) << overlay.err();
    const Picture pic = waitForStillPicture(id, 60);
    ASSERT_EQ(pic.width, 700);
    ASSERT_EQ(pic.height, 80);

    const double newest = (s.size() - 1) * 0.016;
    const int fullThrottle = columnOf(75 * 0.016, newest);
    const int halfBrake = columnOf(225 * 0.016, newest);
    const int halfThrottle = columnOf(375 * 0.016, newest);

    expectColumn(pic, 100, 0, 79, kGrey, "before the first sample");
    expectColumn(pic, fullThrottle, 3, 76, kGreenArea, "throttle 1 fills the strip");
    expectColumn(pic, halfBrake, 3, 37, kGrey, "above half brake");
    expectColumn(pic, halfBrake, 42, 76, kRedArea, "half brake");
    expectColumn(pic, halfThrottle, 3, 37, kGrey, "above half throttle");
    expectColumn(pic, halfThrottle, 42, 76, kGreenArea, "half throttle");

    // Indications before the first lap boundary: full throttle shows the green
    // line at the top, braking the red line at the top; otherwise they lie at 0.
    EXPECT_TRUE(isGreenLine(pic.at(fullThrottle, 0))) << str(pic.at(fullThrottle, 0));
    EXPECT_TRUE(isLineOnBottomEdge(pic.at(fullThrottle, 79))) << str(pic.at(fullThrottle, 79));
    EXPECT_TRUE(isRedLine(pic.at(halfBrake, 0))) << str(pic.at(halfBrake, 0));
    EXPECT_TRUE(isLineOnBottomEdge(pic.at(halfBrake, 79))) << str(pic.at(halfBrake, 79));
    EXPECT_TRUE(near(pic.at(halfThrottle, 0), kGrey)) << "half throttle is no full-throttle indication";

    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
    EXPECT_EQ(overlay.exitStatus(), 0);
}

TEST(OverlayProgram, ReferenceLinesShowTheBestLapAtTheCarsPosition)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    appendLap(s, 1, {0.5f, 0.51f, 0.52f}, 0.0f, 0.0f, 0.0f);
    std::vector<float> lap2 = {0.05f};
    for (float f : fractionRamp(60, 0.06f, 0.015f))
        lap2.push_back(f);
    appendLap(s, 2, lap2, 0.8f, 0.0f, 50.0f); // first boundary: best 50; lap 2 is recorded
    appendLap(s, 3, {0.01f, 0.02f, 0.05f}, 0.2f, 0.3f, 40.0f); // lap 2 in 40: the reference
    const std::vector<float> lap3 = fractionRamp(400, 0.06f, 0.002f);
    appendLap(s, 3, lap3, 0.2f, 0.3f, 40.0f);
    ASSERT_TRUE(writePedalRecording(run.recording(), s));

    ChildProcess overlay(run.path, {overlayExe(), "file"});
    const std::string id = waitForWindow(kTitle, 15);
    ASSERT_FALSE(id.empty()) << overlay.err();
    const Picture pic = waitForStillPicture(id, 60);
    ASSERT_EQ(pic.width, 700);

    const int x = 650; // lap 3, with lap 2 as the reference
    // Reference throttle 0.8: the green line 16 rows below the top.
    bool greenLine = false;
    for (int y = 14; y <= 18; ++y)
        greenLine = greenLine || isGreenLine(pic.at(x, y));
    EXPECT_TRUE(greenLine) << "no reference throttle line near 0.8";
    expectColumn(pic, x, 20, 52, kGrey, "between the line and the areas");
    expectColumn(pic, x, 58, 61, kRedArea, "brake 0.3 above throttle 0.2");
    expectColumn(pic, x, 66, 76, kRedOverGreen, "both areas");
    EXPECT_TRUE(isLineOnBottomEdge(pic.at(x, 79))) << "reference brake 0: " << str(pic.at(x, 79));

    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
}

TEST(OverlayProgram, WindowIsHiddenWhileTheCarIsOffTrackAndReturns)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    std::vector<float> pct(400, 0.2f);
    appendLap(s, 1, pct, 0.5f, 0.0f, 0.0f);
    for (size_t i = 0; i < 300; ++i)
        s[i].onTrack = 0;
    ASSERT_TRUE(writePedalRecording(run.recording(), s));

    ChildProcess overlay(run.path, {overlayExe(), "file"});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(visibleWindow(kTitle).empty()) << "shown while in the pits, poll " << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_TRUE(overlay.running());
    const std::string id = waitForWindow(kTitle, 30);
    ASSERT_FALSE(id.empty()) << "not shown again when back on track";
    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
}

TEST(OverlayProgram, EscapeEndsWithTheShutDownLine)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    appendLap(s, 1, std::vector<float>(50, 0.3f), 0.4f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(run.recording(), s));

    ChildProcess overlay(run.path, {overlayExe(), "file", "ignored.ibt"});
    const std::string id = waitForWindow(kTitle, 15);
    ASSERT_FALSE(id.empty());
    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
    EXPECT_EQ(overlay.exitStatus(), 0);
    EXPECT_EQ(overlay.out(), "Shutting down.\n\n");
}

// A hidden window cannot receive Escape: SIGINT, SIGTERM and SIGHUP (the
// terminal closed) end the program the same way, with the shut-down line
// and status 0.
TEST(OverlayProgram, StopSignalsEndAHiddenOverlayWithTheShutDownLine)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    appendLap(s, 1, std::vector<float>(100, 0.3f), 0.4f, 0.0f, 0.0f);
    for (PedalSample& x : s)
        x.onTrack = 0; // a recording that never leaves the garage
    ASSERT_TRUE(writePedalRecording(run.recording(), s));
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        ChildProcess overlay(run.path, {overlayExe(), "file"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        ASSERT_TRUE(overlay.running());
        EXPECT_TRUE(visibleWindow(kTitle).empty()) << "the window should be hidden";
        overlay.stop(sig);
        EXPECT_EQ(overlay.exitStatus(), 0);
        EXPECT_EQ(overlay.out(), "Shutting down.\n\n");
    }
}

std::string settingsFile()
{
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/telemetry-overlay/settings.toml";
}

// A stop that comes during start-up ends the run as Escape does: the
// shut-down line, status 0, and the settings as they were (the window was
// never moved). Start-up is held at a known point, before any window: one of
// the shader sources is a FIFO that the test serves, and the program has
// begun once it waits there for a writer.
TEST(OverlayProgram, AStopDuringStartUpEndsNormally)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    shellOutput("cd '" + run.path + "' && cp -rL Shaders Shaders.real && rm Shaders && mv Shaders.real Shaders");
    const std::string shader = run.path + "/Shaders/plot2d.frag";
    const std::string source = readFile(shader);
    ASSERT_TRUE(!source.empty() && std::remove(shader.c_str()) == 0 && ::mkfifo(shader.c_str(), 0600) == 0);
    const std::string mine = "# mine\n[strip]\nposition = [1, 2]\n";
    shellOutput("mkdir -p \"$(dirname '" + settingsFile() + "')\"");
    std::ofstream(settingsFile()) << mine;

    ChildProcess overlay(run.path, {overlayExe(), "file"});
    ::signal(SIGPIPE, SIG_IGN); // the program reads a byte of the first copy and closes
    // Serves the source to a reader of the FIFO; false while there is none.
    auto serve = [&] {
        const int fd = ::open(shader.c_str(), O_WRONLY | O_NONBLOCK);
        return fd >= 0 && (::write(fd, source.data(), source.size()), ::close(fd) == 0);
    };
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!serve() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    overlay.signal(SIGTERM);
    while (overlay.running() && Clock::now() < deadline + std::chrono::seconds(20)) {
        serve();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::signal(SIGPIPE, SIG_DFL);
    ASSERT_FALSE(overlay.running());
    EXPECT_EQ(overlay.exitStatus(), 0);
    EXPECT_EQ(overlay.out(), "Shutting down.\n\n");
    EXPECT_EQ(readFile(settingsFile()), mine);
}

// A FIFO in place of the recording or of the settings file is not opened
// (that would block until a writer came): the overlay runs, shows its window
// and ends on Escape, saying so about the settings as it starts.
TEST(OverlayProgram, FifosAsTheRecordingOrTheSettingsDoNotHoldTheProgram)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    ASSERT_EQ(::mkfifo(run.recording().c_str(), 0600), 0);
    shellOutput("mkdir -p \"$(dirname '" + settingsFile() + "')\"; rm -f '" + settingsFile() + "'");
    ASSERT_EQ(::mkfifo(settingsFile().c_str(), 0600), 0);
    ChildProcess overlay(run.path, {overlayExe(), "file"});
    const std::string id = waitForWindow(kTitle, 15);
    ASSERT_FALSE(id.empty());
    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
    EXPECT_EQ(overlay.exitStatus(), 0);
    EXPECT_EQ(overlay.out(), "Shutting down.\n\n");
    const std::string why = "overlay: cannot read " + settingsFile() + ": not a regular file; ";
    EXPECT_EQ(overlay.err(), why + "using the default settings\n");
    std::remove(settingsFile().c_str());
}

// A copy of the program in folder/bin, as an unpacked archive or an
// installation lays it out: it looks beside itself and in
// folder/share/telemetry-overlay after the working directory.
std::string programCopy(const std::string& folder)
{
    int status = -1;
    shellOutput("mkdir -p '" + folder + "/bin' && cp '" + overlayExe() + "' '" + folder + "/bin/'", &status);
    EXPECT_EQ(status, 0);
    return folder + "/bin/overlay";
}

// Shader sources that cannot be read end the program before its window
// opens: one line on standard error naming the file of the working
// directory, where it looked and what to do, status 1.
TEST(OverlayProgram, UnreadableShadersEndWithOneLineNamingThemAndStatusOne)
{
    struct Row {
        const char* what;
        const char* setup; // shell commands run in the run folder
        const char* names;
    };
    const Row rows[] = {
        {"no Shaders folder", "rm Shaders", "Shaders/font.vs"},
        {"a folder where a source should be",
         "cp -rL Shaders Shaders.real && rm Shaders && mv Shaders.real Shaders && rm Shaders/plot2d.vs && mkdir Shaders/plot2d.vs",
         "Shaders/plot2d.vs"},
        {"one source missing",
         "cp -rL Shaders Shaders.real && rm Shaders && mv Shaders.real Shaders && rm Shaders/plotTransparent2d.frag",
         "Shaders/plotTransparent2d.frag"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RunFolder run;
        int status = -1;
        shellOutput("cd '" + run.path + "' && " + row.setup, &status);
        ASSERT_EQ(status, 0);
        ChildProcess overlay(run.path, {programCopy(run.path), "file"});
        ASSERT_TRUE(overlay.waitExit(10));
        EXPECT_EQ(overlay.exitStatus(), 1);
        const std::string err = overlay.err();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(err.rfind("overlay: cannot build the shader programs: " + std::string(row.names) + ": ", 0), 0u)
            << err;
        EXPECT_NE(err.find("; looked in the working directory " + run.path + ", " + run.path + "/bin and " +
                           run.path + "/share/telemetry-overlay: start the program from a folder that holds"),
                  std::string::npos)
            << err;
        EXPECT_EQ(overlay.out(), "");
    }
}

// The shaders come from the working directory when it holds them all, else
// from beside the program, else from ../share/telemetry-overlay; the bundled
// font likewise when Fontconfig has no face. Each copy of font.vs here fails
// to compile, so that the compiler's message names the one that was read.
TEST(OverlayProgram, ShadersAndFontAreFoundHereThenBesideTheProgramThenInTheDataFolder)
{
    REQUIRE_TEST_DISPLAY();
    TempFolder root("search-order");
    const std::string program = programCopy(root.path());
    const std::string work = root.file("work");
    const std::string data = root.file("share/telemetry-overlay");
    char shaders[PATH_MAX];
    ASSERT_NE(::realpath("Shaders", shaders), nullptr);
    const auto brokenShadersIn = [&](const std::string& folder) {
        int status = -1;
        shellOutput("mkdir -p '" + folder + "' && cp -rL '" + shaders + "' '" + folder + "/Shaders' && echo broken >'" +
                        folder + "/Shaders/font.vs'",
                    &status);
        ASSERT_EQ(status, 0);
    };
    // A Fontconfig that knows no fonts, and the bundled font in the data folder.
    std::ofstream(root.file("fonts.conf")) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
    const std::string font = data + "/LiberationSans-Regular.ttf";
    shellOutput("mkdir -p '" + work + "' '" + data + "' && cp /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf '" +
                font + "'");
    // What the program printed up to its first frame with labels.
    const auto firstFrame = [&]() {
        std::remove((work + "/stdout.txt").c_str()); // the run before's
        ChildProcess overlay(work, {program, "file"}, {"FONTCONFIG_FILE=" + root.file("fonts.conf")});
        waitUntil(20, [&] { return overlay.out().find("COMPILATION_FAILED") != std::string::npos || !overlay.running(); });
        overlay.stop(SIGTERM);
        return overlay.out();
    };
    const auto reads = [](const std::string& out, const std::string& folder) {
        return out.find("COMPILATION_FAILED\n" + folder + "Shaders/font.vs, " + folder + "Shaders/font.frag\n") !=
               std::string::npos;
    };

    brokenShadersIn(data);
    std::string out = firstFrame();
    EXPECT_TRUE(reads(out, data + "/")) << out;
    EXPECT_EQ(out.find("ERROR::FREETYPE"), std::string::npos) << "the bundled font was not found\n" << out;

    brokenShadersIn(root.file("bin"));
    out = firstFrame();
    EXPECT_TRUE(reads(out, root.file("bin/"))) << out;

    brokenShadersIn(work);
    ASSERT_EQ(std::remove(font.c_str()), 0);
    out = firstFrame();
    EXPECT_TRUE(reads(out, "")) << "the working directory's, by their relative paths\n" << out;
    EXPECT_NE(out.find("ERROR::FREETYPE: Failed to load font"), std::string::npos) << "with no font anywhere\n" << out;
}

TEST(OverlayProgram, UnknownFirstArgumentGivesUsageAndStatusTwo)
{
    RunFolder run;
    for (const char* arg : {"File", "x", "SIM", ""}) {
        ChildProcess overlay(run.path, {overlayExe(), arg});
        ASSERT_TRUE(overlay.waitExit(10)) << arg;
        EXPECT_EQ(overlay.exitStatus(), 2) << arg;
        const std::string err = overlay.err();
        EXPECT_EQ(err.rfind("usage: overlay", 0), 0u) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "one line";
        EXPECT_EQ(overlay.out(), "") << arg;
    }
}

TEST(OverlayProgram, LiveTracesAdvanceSurviveThePublisherStoppingAndReconnect)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    std::vector<PedalSample> s;
    const std::vector<float> pct = fractionRamp(1200, 0.05f, 0.0007f);
    appendLap(s, 1, pct, 0.0f, 0.0f, 0.0f);
    for (size_t i = 0; i < s.size(); ++i)
        s[i].throttle = 0.5f + 0.5f * static_cast<float>(std::sin(i * 0.05));
    ASSERT_TRUE(writePedalRecording(run.recording(), s));

    const std::string prefix = "IRSDK_SHM_PREFIX=overlaytest" + std::to_string(::getpid()) + "_";
    auto publish = [&] {
        return std::make_unique<ChildProcess>(run.path, std::vector<std::string>{IBT_EXE, "publish", "telemetry.ibt", "--loop"},
                                              std::vector<std::string>{prefix});
    };
    auto publisher = publish();
    ChildProcess overlay(run.path, {overlayExe(), "sim"}, {prefix});
    const std::string id = waitForWindow(kTitle, 15);
    ASSERT_FALSE(id.empty()) << overlay.err();

    auto advances = [&] {
        const Picture a = captureWindow(id);
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        const Picture b = captureWindow(id);
        return a.width == 700 && b.width == 700 && !(a == b);
    };
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(advances()) << "live traces do not move";

    publisher->stop(SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(overlay.running()) << "the overlay ended with the publisher";
    EXPECT_FALSE(visibleWindow(kTitle).empty()) << "hidden while the simulator is away";

    publisher = publish();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_TRUE(advances()) << "no reconnection";

    pressEscape(id);
    ASSERT_TRUE(overlay.waitExit(10));
    EXPECT_EQ(overlay.exitStatus(), 0);
    publisher->stop(SIGINT);
}

TEST(OverlayProgram, WithoutADisplayItSaysSoAndFails)
{
    RunFolder run;
    ChildProcess overlay(run.path, {overlayExe(), "file"}, {"DISPLAY=:9999"});
    ASSERT_TRUE(overlay.waitExit(10));
    EXPECT_NE(overlay.exitStatus(), 0);
    EXPECT_LT(overlay.exitStatus(), 128) << "ended by a signal";
    // The plotting library reports on standard output, as all its messages.
    const std::string out = overlay.out();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find("display"), std::string::npos) << out;
}

namespace {

// A recording with a clear fastest lap: an out lap, a first boundary timed 50,
// then lap 2 (full throttle 0.8 up to half the lap, then throttle 0.2 and
// brake 0.6), which the boundary into lap 3 times at 40.
void writeFastLapRecording(const std::string& path)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(40, 0.6f, 0.01f), 0.0f, 0.0f, 0.0f);
    appendLap(s, 2, {0.01f, 0.02f, 0.05f}, 0.5f, 0.0f, 50.0f);
    for (float pct : fractionRamp(235, 0.06f, 0.004f))
        appendLap(s, 2, {pct}, pct < 0.5f ? 0.8f : 0.2f, pct < 0.5f ? 0.0f : 0.6f, 50.0f);
    appendLap(s, 3, fractionRamp(30, 0.01f, 0.01f), 0.8f, 0.0f, 40.0f);
    ASSERT_TRUE(writePedalRecording(path, s));
}

// The same track and car, a lap that is never completed: the car runs from
// 0.1 to 0.9 of lap 7 with throttle 0.1. Sample i is at 0.1 + 0.002 i.
const int kPartialSamples = 400;
void writePartialLapRecording(const std::string& path)
{
    std::vector<PedalSample> s;
    appendLap(s, 7, fractionRamp(kPartialSamples, 0.1f, 0.002f), 0.1f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(path, s));
}

// The strip's column of partial-lap sample i once the whole lap is on it.
int partialColumn(int i)
{
    return columnOf(i * 0.016, (kPartialSamples - 1) * 0.016);
}

bool greenLineNear(const Picture& pic, int x, int y)
{
    for (int r = std::max(0, y - 3); r <= std::min(79, y + 3); ++r)
        if (isGreenLine(pic.at(x, r)))
            return true;
    return false;
}

bool redLineNear(const Picture& pic, int x, int y)
{
    for (int r = std::max(0, y - 3); r <= std::min(79, y + 3); ++r)
        if (isRedLine(pic.at(x, r)))
            return true;
    return false;
}

std::string shmPrefix()
{
    return "IRSDK_SHM_PREFIX=keptlap" + std::to_string(::getpid()) + "_";
}

// The picture as it was before the overlay dimmed it to 0.35 of its
// brightness (Qvis::Notice::kDim), when the publisher ended. Only the
// notice's line in the middle stays white.
Picture undimmed(Picture pic)
{
    for (unsigned char& c : pic.rgb)
        c = static_cast<unsigned char>(std::min(255.0, std::round(c / 0.35)));
    return pic;
}

// Publishes a recording once, at 60 records a second, to an overlay running
// live, and returns the strip as it stands after the last record, once the
// publisher has gone and the strip says so over its last picture.
Picture liveRun(const RunFolder& run, const std::string& recording, std::string* err,
                const std::vector<std::string>& env = {})
{
    std::vector<std::string> childEnv = env;
    childEnv.push_back(shmPrefix());
    ChildProcess overlay(run.path, {overlayExe(), "sim"}, childEnv);
    const std::string id = waitForWindow(kTitle, 15);
    if (id.empty())
        return {};
    ChildProcess publisher(run.path, {IBT_EXE, "publish", recording}, {shmPrefix()});
    publisher.waitExit(60);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Picture pic = captureWindow(id);
    pressEscape(id);
    overlay.waitExit(10);
    *err = overlay.err();
    return undimmed(pic);
}

// The stored fast lap on the strip at the partial lap's positions: throttle
// 0.8 and no brake before half the lap, throttle 0.2 and brake 0.6 after it.
void expectFastLapLines(const Picture& pic)
{
    ASSERT_EQ(pic.width, 700);
    for (int i : {60, 120, 180}) { // positions 0.22, 0.34, 0.46
        const int x = partialColumn(i);
        EXPECT_TRUE(greenLineNear(pic, x, 16)) << "no stored throttle 0.8 at column " << x;
        EXPECT_TRUE(isLineOnBottomEdge(pic.at(x, 79))) << "stored brake 0 at column " << x << ": " << str(pic.at(x, 79));
    }
    for (int i : {230, 300, 370}) { // positions 0.56, 0.7, 0.84
        const int x = partialColumn(i);
        EXPECT_TRUE(greenLineNear(pic, x, 64)) << "no stored throttle 0.2 at column " << x;
        EXPECT_TRUE(redLineNear(pic, x, 32)) << "no stored brake 0.6 at column " << x;
    }
}

std::string ibtOutput(const RunFolder& run, const std::vector<std::string>& args, int* status)
{
    std::vector<std::string> argv = {IBT_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess ibt(run.path, argv);
    ibt.waitExit(30);
    *status = ibt.exitStatus();
    return ibt.out() + ibt.err();
}

} // namespace

TEST(OverlayProgram, LiveRunsKeepTheBestLapAndStartTheNextRunFromIt)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    writeFastLapRecording(run.path + "/fast.ibt");
    writePartialLapRecording(run.path + "/partial.ibt");

    std::string err;
    liveRun(run, "fast.ibt", &err);
    EXPECT_EQ(err, "");
    int status = 0;
    const std::string listed = ibtOutput(run, {"reference", "list"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(listed.rfind("testring\ttestcar\t40.000\t", 0), 0u) << listed;

    expectFastLapLines(liveRun(run, "partial.ibt", &err));
    EXPECT_EQ(err, "");
}

TEST(OverlayProgram, AnImportedLapIsTheReferenceOfTheNextLiveRun)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    writeFastLapRecording(run.path + "/fast.ibt");
    writePartialLapRecording(run.path + "/partial.ibt");

    int status = 0;
    const std::string imported = ibtOutput(run, {"reference", "import", "fast.ibt"}, &status);
    EXPECT_EQ(status, 0) << imported;
    EXPECT_EQ(imported, "stored testring, testcar: 40.000\n");

    std::string err;
    expectFastLapLines(liveRun(run, "partial.ibt", &err));
    EXPECT_EQ(err, "");
}

TEST(OverlayProgram, TurnedOffInTheSettingsLiveRunsNeitherLoadNorStoreLaps)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    writeFastLapRecording(run.path + "/fast.ibt");
    writePartialLapRecording(run.path + "/partial.ibt");
    const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/telemetry-overlay";
    shellOutput("mkdir -p '" + config + "' && echo 'reference-laps = false' > '" + config + "/settings.toml'");

    std::string err;
    liveRun(run, "fast.ibt", &err);
    EXPECT_EQ(err, "");
    int status = 0;
    EXPECT_EQ(ibtOutput(run, {"reference", "list"}, &status), "") << "a lap was stored";

    ibtOutput(run, {"reference", "import", "fast.ibt"}, &status);
    ASSERT_EQ(status, 0);
    const Picture pic = liveRun(run, "partial.ibt", &err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(pic.width, 700);
    // Today's indications: throttle 0.1 is no full throttle, no braking.
    for (int i : {120, 300}) {
        const int x = partialColumn(i);
        EXPECT_TRUE(isLineOnBottomEdge(pic.at(x, 79))) << str(pic.at(x, 79));
        EXPECT_FALSE(greenLineNear(pic, x, 16) || greenLineNear(pic, x, 64)) << "a stored line at column " << x;
    }
}

TEST(OverlayProgram, AReplayDrawsTheSamePictureWithAStoredLapAndLeavesItAlone)
{
    REQUIRE_TEST_DISPLAY();
    RunFolder run;
    writeFastLapRecording(run.path + "/fast.ibt");
    writePartialLapRecording(run.recording());

    auto replay = [&] {
        ChildProcess overlay(run.path, {overlayExe(), "file"});
        const std::string id = waitForWindow(kTitle, 15);
        if (id.empty())
            return Picture{};
        const Picture pic = waitForStillPicture(id, 60);
        pressEscape(id);
        overlay.waitExit(10);
        return pic;
    };
    const Picture without = replay();
    ASSERT_EQ(without.width, 700);

    int status = 0;
    ibtOutput(run, {"reference", "import", "fast.ibt"}, &status);
    ASSERT_EQ(status, 0);
    const std::string lapFile = std::string(std::getenv("XDG_DATA_HOME")) + "/telemetry-overlay/laps/testring@testcar.lap";
    const std::string stored = readFile(lapFile);
    ASSERT_FALSE(stored.empty());

    const Picture with = replay();
    EXPECT_TRUE(with == without) << "a stored lap changed the replay";
    EXPECT_EQ(readFile(lapFile), stored);
}
