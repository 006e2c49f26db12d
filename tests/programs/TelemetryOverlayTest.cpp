// telemetry-overlay on a desktop with a window manager, as a driver meets it:
// four windows that leave the keyboard with the simulator, keys that hide,
// show, lock and unlock them while the simulator has the keyboard, a drag
// that ends where the pointer does, and the settings it keeps also when the
// X server goes away; nothing to run; its log; one copy at a time; what the
// windows show when the simulator stops or a session changes; where new
// overlays open; the variable plot in lanes.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "child_process.h"
#include "desktop_session.h"
#include "files.h"
#include "ibt_writer.h"
#include "overlay_pixels.h"
#include "Settings.h"
#include "pedal_recording.h"
#include "private_user_folders.h"
#include "temp_folder.h"
#include "window_capture.h"

namespace {

const char* const kTitles[] = {"Throttle/brake", "Delta", "Track map", "Variable plot"};

bool allViewable(const std::vector<std::string>& ids, bool viewable)
{
    for (const std::string& id : ids)
        if (isViewable(id) != viewable)
            return false;
    return true;
}

// Presses a chord as a hand on the keyboard would, while another window has it.
void press(const char* chord)
{
    shellOutput(std::string("xdotool key ") + chord + "; sleep 0.3");
}

// A folder to run in: Shaders/, the settings given, the user's folders.
struct Host {
    explicit Host(const char* name, const std::string& settings) : dir(name)
    {
        char shaders[PATH_MAX];
        EXPECT_NE(::realpath("Shaders", shaders), nullptr);
        EXPECT_EQ(::symlink(shaders, (dir.path() + "/Shaders").c_str()), 0);
        shellOutput("mkdir -p '" + dir.path() + "/config/telemetry-overlay'");
        std::ofstream(dir.path() + "/config/telemetry-overlay/settings.toml") << settings;
    }
    std::vector<std::string> env() const
    {
        return {"XDG_CONFIG_HOME=" + dir.path() + "/config", "IRSDK_SHM_PREFIX=truth" + std::to_string(::getpid()) + "_"};
    }
    TempFolder dir;
};

// One session of a drive: straight on at 20 m/s from `start` of session
// time, a record a frame.
struct DrivePart {
    double start;
    int uniqueId;
    float yaw;
    float throttle;
    float speed;
    int records;
};

// A recording of the variables (name, type code), record i holding values(i)
// in the same order.
bool writeRecording(const std::string& path, const std::vector<std::pair<const char*, int>>& vars, int records,
                    const std::function<std::vector<double>(int)>& values)
{
    IbtWriter w;
    for (const auto& v : vars)
        w.addVar(v.first, v.second);
    for (int i = 0; i < records; ++i) {
        w.beginRecord();
        const std::vector<double> row = values(i);
        for (size_t k = 0; k < row.size(); ++k)
            w.set(static_cast<int>(k), row[k]);
        w.endRecord();
    }
    return w.writeFile(path);
}

bool writeDrive(const std::string& path, const std::vector<DrivePart>& parts)
{
    int records = 0;
    for (const DrivePart& p : parts)
        records += p.records;
    return writeRecording(path,
                          {{"SessionTime", irsdk_double}, {"SessionUniqueId", irsdk_int}, {"IsOnTrack", irsdk_int},
                           {"Throttle", irsdk_float}, {"VelocityX", irsdk_float}, {"YawNorth", irsdk_float},
                           {"Speed", irsdk_float}},
                          records, [&](int i) {
                              size_t k = 0;
                              for (; i >= parts[k].records; ++k)
                                  i -= parts[k].records;
                              const DrivePart& p = parts[k];
                              return std::vector<double>{p.start + i / 60.0, double(p.uniqueId), 1, p.throttle,
                                                         20.0, p.yaw, p.speed};
                          });
}

// A capture's pixel, rows counted from the bottom as in the views.
Rgb pixel(const Picture& pic, int x, int row)
{
    const Picture::Pixel p = pic.at(x, pic.height - 1 - row);
    return {p.r, p.g, p.b};
}

// The pixels of a capture in [x0, x1) x [row0, row1) that match.
Extent extentIn(const Picture& pic, int x0, int row0, int x1, int row1, bool (*match)(Rgb))
{
    Extent e;
    for (int row = row0; row < row1; ++row)
        for (int x = x0; x < x1; ++x)
            if (match(pixel(pic, x, row)))
                e.add(x, row);
    return e;
}

// The matching pixels inside the axes of the map or the plot, away from
// their outline and `skipTop` rows below their top.
Extent insideAxes(const Picture& pic, bool (*match)(Rgb), int skipTop = 0)
{
    const AxesRect r = overlayAxesRect(pic.width, pic.height);
    return extentIn(pic, static_cast<int>(r.left) + 3, static_cast<int>(r.bottom) + 3, static_cast<int>(r.right) - 3,
                    static_cast<int>(r.top) - 3 - skipTop, match);
}

// A picture dimmed under the line: the top left corner (background in every
// picture here) at a third of its grey, and the line's white in the middle.
bool isStale(const Picture& pic)
{
    const int w = pic.width, h = pic.height;
    return w > 0 && pixel(pic, 2, h - 3).g < 30 && extentIn(pic, w / 2 - 60, h / 2 - 8, w / 2 + 60, h / 2 + 8, isWhite).count > 20;
}

bool isLive(const Picture& pic)
{
    return pic.width > 0 && !isStale(pic);
}

// The windows of telemetry-overlay with these titles, once shown; none when
// one is missing.
std::vector<std::string> windowsOf(ChildProcess& overlays, std::vector<const char*> titles)
{
    std::vector<std::string> ids;
    for (const char* title : titles) {
        ids.push_back(waitForWindow(title, 30));
        if (ids.back().empty()) {
            ADD_FAILURE() << "no window " << title << "\n" << overlays.err();
            return {};
        }
    }
    return ids;
}

// The strip's, the map's and the plot's.
const std::vector<const char*> kThree = {"Throttle/brake", "Track map", "Variable plot"};

// A folder with the shaders and a replay long enough to outlast a test.
void prepareRunFolder(const TempFolder& dir)
{
    char shaders[PATH_MAX];
    ASSERT_NE(::realpath("Shaders", shaders), nullptr);
    ASSERT_EQ(::symlink(shaders, (dir.path() + "/Shaders").c_str()), 0);
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(30000, 0.1f, 0.00003f), 0.5f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(dir.path() + "/telemetry.ibt", s));
}

} // namespace

TEST(TelemetryOverlay, KeysHideShowLockAndUnlockWhileTheSimulatorKeepsTheKeyboard)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    TempFolder dir("host");
    ASSERT_NO_FATAL_FAILURE(prepareRunFolder(dir));
    const std::string settingsFile = dir.path() + "/config/telemetry-overlay/settings.toml";
    shellOutput("mkdir -p '" + dir.path() + "/config/telemetry-overlay'");
    // Every overlay on and locked, the strip where the simulator's window
    // will be, and one bad value, which costs only itself.
    std::ofstream(settingsFile) << "locked = true\n[strip]\nposition = [200, 900]\n"
                                   "[trackmap]\nenabled = true\nscale = 9\n"
                                   "[varplot]\nenabled = true\nvariables = [\"Throttle\", \"Brake\"]\n"
                                   "[delta]\nenabled = true\n";

    LoggingWindow simulator(dir.path(), "simulator", 0, 0, 1280, 1024);
    ASSERT_FALSE(simulator.id().empty());
    ASSERT_TRUE(simulator.activate());
    ChildProcess host(dir.path(), {TELEMETRY_OVERLAY_EXE, "file"}, {"XDG_CONFIG_HOME=" + dir.path() + "/config"});
    const std::vector<std::string> ids = windowsOf(host, {std::begin(kTitles), std::end(kTitles)});
    ASSERT_EQ(ids.size(), std::size(kTitles));
    const std::string strip = ids[0];
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(placeOf(strip), (Place{200, 900}));
    EXPECT_TRUE(simulator.hasFocus()) << "a window took the focus when it opened";

    press("ctrl+shift+F1");
    EXPECT_TRUE(waitUntil(5, [&] { return allViewable(ids, false); })) << "not hidden by the key";
    press("ctrl+shift+F1");
    EXPECT_TRUE(waitUntil(5, [&] { return allViewable(ids, true); })) << "not shown again by the key";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(simulator.hasFocus()) << "the keys or showing again moved the focus";

    // Locked: a click over the strip goes to the window below, a drag moves nothing.
    const int before = simulator.clicks();
    shellOutput("xdotool mousemove --window " + strip + " 60 30 click 1; sleep 0.5");
    EXPECT_EQ(simulator.clicks(), before + 1) << "the click stayed with the locked strip";
    drag(strip, -100, -60);
    EXPECT_EQ(placeOf(strip), (Place{200, 900})) << "a locked strip was dragged";
    EXPECT_TRUE(simulator.hasFocus());

    // Unlocked: the click stays with the strip, and a drag moves it.
    press("ctrl+shift+F2");
    const int unlocked = simulator.clicks();
    shellOutput("xdotool mousemove --window " + strip + " 60 30 click 1; sleep 0.5");
    EXPECT_EQ(simulator.clicks(), unlocked) << "the click went through the unlocked strip";
    drag(strip, -100, -60);
    EXPECT_EQ(placeOf(strip), (Place{100, 840})) << "the strip did not end where the pointer took it";

    // A place written by hand meanwhile for a window the program never
    // moved; then the X server goes: the run ends in order all the same,
    // keeping the unlock and the one place the user changed, and only those.
    std::string text = readFile(settingsFile);
    text.replace(text.find("[trackmap]\n"), 11, "[trackmap]\nposition = [31, 41] # by hand\n");
    std::ofstream(settingsFile) << text;
    session.endXServer();
    ASSERT_TRUE(host.waitExit(20));
    EXPECT_EQ(host.exitStatus(), 0);
    EXPECT_EQ(host.out(), "Shutting down.\n\n");
    EXPECT_EQ(host.err(), "telemetry-overlay: settings file " + settingsFile +
                              ": trackmap.scale is not a number from 0.5 to 4, or \"auto\"; using the default\n"
                              "telemetry-overlay: the connection to the X server was lost; its windows are gone\n");
    text.replace(text.find("locked = true"), 13, "locked = false");
    text.replace(text.find("[200, 900]"), 10, "[100, 840]");
    EXPECT_EQ(readFile(settingsFile), text);
}

TEST(TelemetryOverlay, WithNothingEnabledItSaysSoAndStops)
{
    TempFolder dir("host-none");
    char shaders[PATH_MAX];
    ASSERT_NE(::realpath("Shaders", shaders), nullptr);
    ASSERT_EQ(::symlink(shaders, (dir.path() + "/Shaders").c_str()), 0);
    shellOutput("mkdir -p '" + dir.path() + "/telemetry-overlay'");
    std::ofstream(dir.path() + "/telemetry-overlay/settings.toml") << "[strip]\nenabled = false\n";
    ChildProcess none(dir.path(), {TELEMETRY_OVERLAY_EXE, "file"}, {"DISPLAY=", "XDG_CONFIG_HOME=" + dir.path()});
    ASSERT_TRUE(none.waitExit(10));
    EXPECT_EQ(none.exitStatus(), 2);
    EXPECT_NE(none.err().find("no overlay is enabled"), std::string::npos) << none.err();
}

namespace {

std::string logFile()
{
    return std::string(std::getenv("XDG_STATE_HOME")) + "/telemetry-overlay/telemetry-overlay.log";
}

const char* const kLogToFile = "TELEMETRY_OVERLAY_NO_LOG_FILE=";

} // namespace

// Started without a terminal, as a desktop launcher starts it, the program
// writes what it says to its log, anew at each start; from a terminal it
// says it there and leaves the log alone.
TEST(TelemetryOverlay, WithoutATerminalItsMessagesGoToTheLogWrittenAnewAtEachStart)
{
    TempFolder dir("log");
    shellOutput("mkdir -p \"$(dirname '" + logFile() + "')\"");
    std::ofstream(logFile()) << "telemetry-overlay: a line of the run before\n";
    ChildProcess launched(dir.path(), {TELEMETRY_OVERLAY_EXE, "bogus"}, {kLogToFile});
    ASSERT_TRUE(launched.waitExit(10));
    EXPECT_EQ(launched.exitStatus(), 2);
    EXPECT_EQ(launched.err(), "");
    const std::string logged = readFile(logFile());
    EXPECT_EQ(logged.rfind("telemetry-overlay: unknown argument \"bogus\"; usage: telemetry-overlay", 0), 0u) << logged;
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 1) << logged;

    const std::string onTerminal = shellOutput(std::string(kLogToFile) + " script -qec '" + TELEMETRY_OVERLAY_EXE +
                                               " bogus' /dev/null");
    EXPECT_NE(onTerminal.find("telemetry-overlay: unknown argument \"bogus\""), std::string::npos) << onTerminal;
    EXPECT_EQ(readFile(logFile()), logged);
}

// A second copy says so in one line and ends with status 1, before it opens
// a window or the log: the first runs on, alone on the screen, its log whole.
TEST(TelemetryOverlay, ASecondCopyIsRefusedWhileTheFirstRunsOn)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    TempFolder dir("first"), other("second");
    prepareRunFolder(dir);
    prepareRunFolder(other);
    const std::string config = "XDG_CONFIG_HOME=" + dir.path() + "/config";
    shellOutput("mkdir -p '" + dir.path() + "/config/telemetry-overlay'");
    std::ofstream(dir.path() + "/config/telemetry-overlay/settings.toml") << "[strip]\nopacity = 2\n";
    ChildProcess first(dir.path(), {TELEMETRY_OVERLAY_EXE, "file"}, {config, kLogToFile});
    const std::string id = waitForWindow("Throttle/brake", 30);
    ASSERT_FALSE(id.empty()) << readFile(logFile());
    const std::string logged = readFile(logFile());
    ASSERT_NE(logged.find("strip.opacity is not"), std::string::npos) << logged;

    ChildProcess second(other.path(), {TELEMETRY_OVERLAY_EXE, "file"}, {config, kLogToFile});
    ASSERT_TRUE(second.waitExit(10));
    EXPECT_EQ(second.exitStatus(), 1);
    EXPECT_EQ(second.err(), "telemetry-overlay: another telemetry-overlay is already running for this user; "
                            "this one ends\n");
    EXPECT_EQ(second.out(), "");
    EXPECT_EQ(readFile(logFile()), logged);
    EXPECT_TRUE(first.running());
    EXPECT_EQ(shellOutput("xdotool search --onlyvisible --name '^Throttle/brake$' | wc -l"), "1\n");
    EXPECT_TRUE(isViewable(id));

    first.stop(SIGTERM);
    EXPECT_EQ(first.exitStatus(), 0);
    EXPECT_EQ(first.out() + first.err(), "");
    EXPECT_EQ(readFile(logFile()), logged + "Shutting down.\n\n");
}

// The settings file is there from the first start, every key with its
// comment, also when the program never gets to its end.
TEST(TelemetryOverlay, AFirstStartWritesTheSettingsFileAtOnce)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    TempFolder dir("first-start");
    prepareRunFolder(dir);
    const std::string settingsFile = dir.path() + "/config/telemetry-overlay/settings.toml";
    ChildProcess host(dir.path(), {TELEMETRY_OVERLAY_EXE, "file"}, {"XDG_CONFIG_HOME=" + dir.path() + "/config"});
    ASSERT_FALSE(waitForWindow("Throttle/brake", 30).empty()) << host.err();
    host.stop(SIGKILL);
    EXPECT_EQ(readFile(settingsFile), settings::templateText());
    EXPECT_EQ(host.err(), "");
}

// Live from a publisher that stalls, goes on, is stopped and started again
// with a recording of two other sessions: every window says within two
// seconds that the simulator stopped, comes back as it was when the session
// goes on, and starts afresh with each new session.
TEST(TelemetryOverlay, SilenceIsSaidAndEachNewSessionStartsAfresh)
{
    DesktopSession session;
    if (!session.ready())
        GTEST_SKIP() << "no Xvfb with openbox could be started";
    Host host("truth-sessions", "[strip]\nposition = [0, 0]\n"
                                "[trackmap]\nenabled = true\nscale = 0.5\nposition = [0, 120]\n"
                                "[varplot]\nenabled = true\nscale = 0.5\nposition = [420, 120]\n"
                                "variables = [\"Speed\"]\n");
    ASSERT_TRUE(writeDrive(host.dir.path() + "/a.ibt", {{100.0, 1, 0.0f, 0.8f, 20.0f, 600}}));
    // Another session that begins before the first ended, along y; then one
    // of another id that begins long after, along x.
    ASSERT_TRUE(writeDrive(host.dir.path() + "/b.ibt",
                           {{99.0, 2, 1.5707963f, 0.3f, 50.0f, 240}, {150.0, 3, 0.0f, 0.9f, 35.0f, 600}}));
    auto publish = [&](const char* file) {
        return std::make_unique<ChildProcess>(host.dir.path(), std::vector<std::string>{IBT_EXE, "publish", file, "--loop"},
                                              host.env());
    };
    auto publisher = publish("a.ibt");
    ChildProcess overlays(host.dir.path(), {TELEMETRY_OVERLAY_EXE, "sim"}, host.env());
    const std::vector<std::string> ids = windowsOf(overlays, kThree);
    ASSERT_EQ(ids.size(), 3u);
    const std::string strip = ids[0], map = ids[1], plot = ids[2];
    const auto all = [&](bool (*is)(const Picture&)) {
        return std::all_of(ids.begin(), ids.end(), [&](const std::string& id) { return is(captureWindow(id)); });
    };
    // The plot's line, below its legend, and the map's path.
    const auto line = [&] { return insideAxes(captureWindow(plot), isCyan, 25); };
    const auto path = [&] { return insideAxes(captureWindow(map), isWhite); };
    ASSERT_TRUE(waitUntil(10, [&] { return path().width() > 100 && line().width() > 30; })) << "no live pictures";

    // Stalled, still connected: every window says so within two seconds.
    const int lineLeft = line().left;
    publisher->signal(SIGSTOP);
    const auto stalled = std::chrono::steady_clock::now();
    for (const std::string& id : ids) {
        EXPECT_TRUE(waitUntil(5, [&] { return isStale(captureWindow(id)); }));
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - stalled).count(), 2.0);
    }
    // Going on: live again, and the line still begins where it began.
    publisher->signal(SIGCONT);
    EXPECT_TRUE(waitUntil(3, [&] { return all(isLive); }));
    EXPECT_LE(line().left, lineLeft) << "the same session started afresh";

    // Stopped, then another session: live again, the path along y only,
    // the line flat; then a third: along x only, the strip's area only as
    // wide as its second.
    publisher->stop(SIGINT);
    EXPECT_TRUE(waitUntil(2, [&] { return all(isStale); }));
    publisher = publish("b.ibt");
    EXPECT_TRUE(waitUntil(5, [&] { return all(isLive); }));
    // A path straight on from the origin alone lies across the middle of
    // the map, where the zero extent across it is widened; a path joined to
    // the last session's has its extremes on the map's edges.
    const auto straight = [&](bool alongY) {
        const Extent p = path();
        const AxesRect r = overlayAxesRect(400, 300);
        return alongY ? p.height() > 100 && p.width() <= 3 && std::abs(p.left - (r.left + r.right) / 2) <= 3
                      : p.width() > 100 && p.height() <= 3 && std::abs(p.bottom - (r.bottom + r.top) / 2) <= 3;
    };
    EXPECT_TRUE(waitUntil(3, [&] { return straight(true); })) << "the path joins the two sessions";
    EXPECT_LE(line().height(), 3) << "the line joins the two sessions";
    EXPECT_TRUE(waitUntil(8, [&] { return straight(false); })) << "the path joins the two sessions";
    EXPECT_LE(line().height(), 3) << "the line joins the two sessions";
    const Picture pedals = captureWindow(strip);
    const Extent area = extentIn(pedals, 0, 0, pedals.width, pedals.height,
                                 [](Rgb p) { return p.g > p.r + 60 && p.g > p.b + 60; });
    EXPECT_GT(area.left, pedals.width * 8 / 10) << "the strip's area joins the two sessions";

    overlays.stop(SIGTERM);
    EXPECT_EQ(overlays.exitStatus(), 0);
    publisher->stop(SIGINT);
}

namespace {

// A Place's window rectangle, for overlap checks.
long long overlapOf(const Place& a, int aw, int ah, const Place& b, int bw, int bh)
{
    const long long w = std::min(a.x + aw, b.x + bw) - std::max(a.x, b.x);
    const long long h = std::min(a.y + ah, b.y + bh) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

} // namespace

// The plots turned on after the strip was placed where they would open, one
// with a place on a monitor since unplugged: they open beside it, and that
// place stays, but for the window dragged. The variable plot in lanes,
// replaying variables of ranges 0 to 1, 0 to 8000 and 1 to 6: each line
// fills its lane.
TEST(TelemetryOverlay, NewOverlaysOpenBesideThePlacedOneAndLanesFillTheirPlace)
{
    DesktopSession session;
    if (!session.ready())
        GTEST_SKIP() << "no Xvfb with openbox could be started";
    Host host("truth-lanes", "[strip]\nposition = [16, 560]\n"
                             "[trackmap]\nenabled = true\nscale = 0.5\nposition = [5000, 5000]\n"
                             "[varplot]\nenabled = true\nscale = 0.5\nposition = [-3000, 200]\nlanes = true\n"
                             "variables = [\"Throttle\", \"RPM\", \"Gear@int\"]\n");
    ASSERT_TRUE(writeRecording(host.dir.path() + "/telemetry.ibt",
                               {{"SessionTime", irsdk_double}, {"IsOnTrack", irsdk_int}, {"Throttle", irsdk_float},
                                {"RPM", irsdk_float}, {"Gear", irsdk_int}},
                               300, [](int i) {
                                   return std::vector<double>{20.0 + i / 60.0, 1, (i % 60) / 59.0,
                                                              8000.0 * (1.0 - std::abs(i % 120 - 60) / 60.0),
                                                              1.0 + (i / 12) % 6};
                               }));
    ChildProcess overlays(host.dir.path(), {TELEMETRY_OVERLAY_EXE, "file"}, host.env());
    const std::vector<std::string> ids = windowsOf(overlays, kThree);
    ASSERT_EQ(ids.size(), 3u);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Place strip = placeOf(ids[0]), map = placeOf(ids[1]), plot = placeOf(ids[2]);
    EXPECT_EQ(strip, (Place{16, 560}));
    EXPECT_EQ(overlapOf(map, 400, 300, strip, 700, 80), 0) << map;
    EXPECT_EQ(overlapOf(plot, 400, 300, strip, 700, 80), 0) << plot;
    EXPECT_EQ(overlapOf(plot, 400, 300, map, 400, 300), 0) << plot << " " << map;
    for (const Place& p : {map, plot})
        EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x + 400 <= 1280 && p.y + 300 <= 1024) << p;

    // Lanes top to bottom in the order of the variables: Throttle (white),
    // RPM (red) and Gear (cyan, int lines coming first in the palette), each
    // line reaching the top and the bottom of its lane's axes, right of the
    // names.
    Picture lanes;
    ASSERT_TRUE(waitUntil(30, [&] {
        const Picture a = captureWindow(ids[2]);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lanes = captureWindow(ids[2]);
        return a.width == 400 && a == lanes;
    })) << "the replay never ended";
    bool (*const colours[])(Rgb) = {isWhite, isRed, isCyan};
    const double laneHeight = (0.85 - 2 * 0.03) / 3;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const double y = 0.1 + (2 - i) * (laneHeight + 0.03);
        const int bottom = static_cast<int>(300 * (y + laneHeight * 0.03)), top = static_cast<int>(300 * (y + laneHeight));
        const Extent e = extentIn(lanes, 220, bottom + 3, 375, top - 2, colours[i]);
        EXPECT_LE(e.bottom, bottom + 4);
        EXPECT_GE(e.top, top - 4);
    }

    drag(ids[2], 40, 30);
    const Place moved = placeOf(ids[2]);
    EXPECT_FALSE(moved == plot) << "not dragged";
    overlays.stop(SIGTERM);
    EXPECT_EQ(overlays.exitStatus(), 0);
    const std::string kept = readFile(host.dir.path() + "/config/telemetry-overlay/settings.toml");
    EXPECT_NE(kept.find("[trackmap]\nenabled = true\nscale = 0.5\nposition = [5000, 5000]\n"), std::string::npos) << kept;
    EXPECT_NE(kept.find("position = [" + std::to_string(moved.x) + ", " + std::to_string(moved.y) + "]"),
              std::string::npos)
        << kept;
}
