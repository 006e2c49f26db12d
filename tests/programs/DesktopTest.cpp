// The three programs on a desktop with a real window manager: the strip stays
// above other windows after hiding, each window comes back where it was
// dragged, bad settings files give the default place, and --help answers.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "child_process.h"
#include "desktop_session.h"
#include "files.h"
#include "pedal_recording.h"
#include "temp_folder.h"
#include "window_capture.h"

namespace {

const char* kTitle = "qvisView";

struct Program {
    const char* name;
    const char* path;
    // What it says over the pedal recordings, which have no gear.
    const char* err = "";
};
const Program kPrograms[] = {
    {"overlay", OVERLAY_EXE},
    {"overlay-trackmap", TRACKMAP_EXE},
    {"overlay-varplot", VARPLOT_EXE, "variable plot: the telemetry has no variable Gear; its line stays at 0\n"},
};

// A run folder with the shaders and a recording, and a configuration folder
// of its own so that no test touches the user's real settings.
class Desk {
public:
    Desk() : dir("desktop")
    {
        char shaders[PATH_MAX];
        if (::realpath("Shaders", shaders)) {
            EXPECT_EQ(::symlink(shaders, (dir.path() + "/Shaders").c_str()), 0);
        }
    }
    std::string recording() const { return dir.path() + "/telemetry.ibt"; }
    std::string settingsFile() const { return dir.path() + "/config/telemetry-overlay/settings.conf"; }
    std::string settings() const { return readFile(settingsFile()); }
    void writeSettings(const std::string& text) const
    {
        shellOutput("mkdir -p '" + dir.path() + "/config/telemetry-overlay'");
        std::ofstream(settingsFile(), std::ios::binary) << text;
    }
    std::unique_ptr<ChildProcess> start(const char* program, const char* source = "file") const
    {
        return std::make_unique<ChildProcess>(dir.path(), std::vector<std::string>{program, source},
                                              std::vector<std::string>{env});
    }

    TempFolder dir;
    const std::string env = "XDG_CONFIG_HOME=" + dir.path() + "/config";
};

// A car on track for a long replay, at a steady pace round the lap.
void writeOnTrackRecording(const std::string& path, int samples)
{
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(samples, 0.1f, 0.0001f), 0.5f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(path, s));
}

struct Place {
    int x = -1, y = -1;
    bool operator==(const Place& o) const { return x == o.x && y == o.y; }
};
std::ostream& operator<<(std::ostream& os, const Place& p)
{
    return os << p.x << "," << p.y;
}

// Where a window's content stands on the screen.
Place placeOf(const std::string& id)
{
    Place p;
    std::istringstream in(shellOutput("xwininfo -id " + id + " 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        std::sscanf(line.c_str(), "  Absolute upper-left X: %d", &p.x);
        std::sscanf(line.c_str(), "  Absolute upper-left Y: %d", &p.y);
    }
    return p;
}

bool isViewable(const std::string& id)
{
    return shellOutput("xwininfo -id " + id + " 2>/dev/null").find("Map State: IsViewable") != std::string::npos;
}

template <class Condition>
bool waitUntil(double seconds, Condition condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Window ids of a root property that lists windows, as numbers.
std::vector<unsigned long> rootWindowList(const char* property)
{
    std::vector<unsigned long> ids;
    const std::string out = shellOutput(std::string("xprop -root ") + property + " 2>/dev/null");
    const size_t hash = out.find('#');
    if (hash == std::string::npos)
        return ids;
    std::istringstream in(out.substr(hash + 1));
    std::string word;
    while (in >> word)
        ids.push_back(std::stoul(word, nullptr, 16));
    return ids;
}

// A drag as a hand makes it: press inside the window, move in steps, release.
void drag(const std::string& id, int dx, int dy)
{
    shellOutput("xdotool mousemove --window " + id + " 60 30; sleep 0.2; xdotool mousedown 1; sleep 0.2");
    for (int i = 0; i < 5; ++i)
        shellOutput("xdotool mousemove_relative -- " + std::to_string(dx / 5) + " " + std::to_string(dy / 5) +
                    "; sleep 0.2");
    shellOutput("xdotool mouseup 1; sleep 0.3");
}

// Clicks the window (so that it has the keyboard) and presses Escape.
void closeWithEscape(const std::string& id)
{
    shellOutput("xdotool mousemove --window " + id + " 60 30 click 1; sleep 0.3; xdotool key Escape");
}

// Starts a program, waits for its window and returns where it opened.
Place openAndPlace(const Desk& desk, const Program& program, std::unique_ptr<ChildProcess>& child,
                   std::string& id)
{
    child = desk.start(program.path);
    id = waitForWindow(kTitle, 30);
    if (id.empty())
        return {};
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return placeOf(id);
}

#define SKIP_WITHOUT_DESKTOP(session)                                   \
    do {                                                                \
        if (!(session).ready())                                         \
            GTEST_SKIP() << "no Xvfb with openbox could be started";    \
    } while (0)

} // namespace

TEST(Desktop, StripStaysAboveAWindowActivatedAfterItCameBack)
{
    DesktopSession session;
    SKIP_WITHOUT_DESKTOP(session);
    Desk desk;
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(2500, 0.1f, 0.0001f), 0.5f, 0.0f, 0.0f);
    for (size_t i = 150; i < 400; ++i)
        s[i].onTrack = 0; // a pit stop
    ASSERT_TRUE(writePedalRecording(desk.recording(), s));

    auto overlay = desk.start(OVERLAY_EXE);
    const std::string id = waitForWindow(kTitle, 30);
    ASSERT_FALSE(id.empty()) << overlay->err();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const Place before = placeOf(id);
    ASSERT_TRUE(waitUntil(30, [&] { return !isViewable(id); })) << "never hidden in the pits";
    ASSERT_TRUE(waitUntil(30, [&] { return isViewable(id); })) << "not shown again";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    EXPECT_NE(shellOutput("xprop -id " + id + " _NET_WM_STATE").find("_NET_WM_STATE_ABOVE"), std::string::npos)
        << shellOutput("xprop -id " + id + " _NET_WM_STATE");
    EXPECT_EQ(placeOf(id), before) << "moved by hiding and showing";

    // Another window, activated after the strip came back, as the simulator is.
    ChildProcess other(desk.dir.path(), {"/usr/bin/xlogo", "-title", "simulator"});
    std::string otherId;
    ASSERT_TRUE(waitUntil(20, [&] { return !(otherId = visibleWindow("simulator")).empty(); }));
    shellOutput("xdotool windowactivate --sync " + otherId + "; sleep 0.5");
    const std::vector<unsigned long> active = rootWindowList("_NET_ACTIVE_WINDOW");
    ASSERT_EQ(active, std::vector<unsigned long>{std::stoul(otherId)}) << "the other window is not active";

    // The stacking list runs from the bottom to the top.
    const std::vector<unsigned long> stack = rootWindowList("_NET_CLIENT_LIST_STACKING");
    const long strip = std::find(stack.begin(), stack.end(), std::stoul(id)) - stack.begin();
    const long otherAt = std::find(stack.begin(), stack.end(), std::stoul(otherId)) - stack.begin();
    ASSERT_LT(strip, static_cast<long>(stack.size()));
    ASSERT_LT(otherAt, static_cast<long>(stack.size()));
    EXPECT_GT(strip, otherAt) << "the strip is below the window activated after it";

    closeWithEscape(id);
    ASSERT_TRUE(overlay->waitExit(10));
    EXPECT_EQ(overlay->exitStatus(), 0);
}

TEST(Desktop, EachProgramComesBackWhereItWasDragged)
{
    DesktopSession session;
    SKIP_WITHOUT_DESKTOP(session);
    Desk desk;
    writeOnTrackRecording(desk.recording(), 20000);

    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        std::unique_ptr<ChildProcess> child;
        std::string id;
        const Place opened = openAndPlace(desk, program, child, id);
        ASSERT_FALSE(id.empty()) << child->err();
        drag(id, -150, -100);
        const Place left = placeOf(id);
        ASSERT_LT(left.x, opened.x - 50) << "the drag did not move the window";
        ASSERT_LT(left.y, opened.y - 30) << "the drag did not move the window";
        closeWithEscape(id);
        ASSERT_TRUE(child->waitExit(10));
        EXPECT_EQ(child->exitStatus(), 0);
        EXPECT_EQ(child->err(), program.err);

        const Place again = openAndPlace(desk, program, child, id);
        EXPECT_EQ(again, left) << desk.settings();
        closeWithEscape(id);
        ASSERT_TRUE(child->waitExit(10));
        EXPECT_EQ(child->err(), program.err);
    }
    // One file, one entry per program.
    const std::string settings = desk.settings();
    for (const Program& program : kPrograms)
        EXPECT_NE(settings.find(std::string(program.name) + ".position = "), std::string::npos) << settings;
}

TEST(Desktop, BadSettingsGiveTheDefaultPlace)
{
    DesktopSession session;
    SKIP_WITHOUT_DESKTOP(session);
    Desk desk;
    writeOnTrackRecording(desk.recording(), 20000);
    const Program& strip = kPrograms[0];
    std::unique_ptr<ChildProcess> child;
    std::string id;

    desk.writeSettings("# no position yet\n");
    const Place fallback = openAndPlace(desk, strip, child, id);
    ASSERT_FALSE(id.empty()) << child->err();
    child->stop(SIGKILL); // ends without saving
    ASSERT_NE(fallback.x, 40);

    struct Case {
        const char* what;
        std::string text;
        bool complains;
    };
    const Case cases[] = {
        {"a corrupt file", std::string("overlay.position = 40,40\n\x7f\x45LF\x02\x01\x01", 22) + "\n", true},
        {"a bad value", "overlay.position = 40;40\n", true},
        {"a place on no monitor", "overlay.position = 5000,4000\n", false},
        {"a place beyond the left edge", "overlay.position = -690,40\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desk.writeSettings(c.text);
        EXPECT_EQ(openAndPlace(desk, strip, child, id), fallback);
        ASSERT_FALSE(id.empty());
        closeWithEscape(id);
        ASSERT_TRUE(child->waitExit(10));
        EXPECT_EQ(child->exitStatus(), 0) << "the program stopped for its settings";
        const std::string err = child->err();
        if (c.complains) {
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_EQ(err.rfind("overlay: settings file " + desk.settingsFile(), 0), 0u) << err;
        } else {
            EXPECT_EQ(err, "");
        }
    }
}

TEST(ProgramHelp, HelpAndItsShortFormPrintUsageAndKeysAndSucceed)
{
    TempFolder dir("help");
    for (const Program& program : kPrograms) {
        for (const char* flag : {"--help", "-h"}) {
            SCOPED_TRACE(std::string(program.name) + " " + flag);
            ChildProcess child(dir.path(), {program.path, flag}, {"DISPLAY="});
            ASSERT_TRUE(child.waitExit(10));
            EXPECT_EQ(child.exitStatus(), 0);
            EXPECT_EQ(child.err(), "");
            const std::string out = child.out();
            EXPECT_EQ(out.rfind(std::string("usage: ") + program.name + " [sim|file]", 0), 0u) << out;
            for (const char* needed : {"left mouse button", "Escape", "Ctrl-C", "settings.conf"})
                EXPECT_NE(out.find(needed), std::string::npos) << needed << " missing from\n" << out;
        }
        ChildProcess child(dir.path(), {program.path, "--helpme"});
        ASSERT_TRUE(child.waitExit(10));
        EXPECT_EQ(child.exitStatus(), 2);
        EXPECT_EQ(child.out(), "");
    }
}
