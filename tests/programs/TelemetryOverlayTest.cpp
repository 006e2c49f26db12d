// telemetry-overlay on a desktop with a window manager, as a driver meets it:
// four windows that leave the keyboard with the simulator, keys that hide,
// show, lock and unlock them while the simulator has the keyboard, a drag
// that ends where the pointer does, and the settings it keeps also when the
// X server goes away; nothing to run; its log; one copy at a time.
#include <algorithm>
#include <csignal>
#include <cstdlib>
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

} // namespace

TEST(TelemetryOverlay, KeysHideShowLockAndUnlockWhileTheSimulatorKeepsTheKeyboard)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    TempFolder dir("host");
    char shaders[PATH_MAX];
    ASSERT_NE(::realpath("Shaders", shaders), nullptr);
    ASSERT_EQ(::symlink(shaders, (dir.path() + "/Shaders").c_str()), 0);
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(30000, 0.1f, 0.00003f), 0.5f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(dir.path() + "/telemetry.ibt", s));
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
    std::vector<std::string> ids;
    for (const char* title : kTitles)
        ids.push_back(waitForWindow(title, 30));
    for (size_t i = 0; i < ids.size(); ++i)
        ASSERT_FALSE(ids[i].empty()) << "no window " << kTitles[i] << "\n" << host.err();
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
