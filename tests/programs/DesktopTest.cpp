// The four programs on a desktop with a real window manager: no window takes
// the keyboard when it shows, the strip stays above other windows after
// hiding, each window comes back where it was dragged, bad settings files
// give the default place, and --help answers.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "child_process.h"
#include "desktop_session.h"
#include "files.h"
#include "pedal_recording.h"
#include "private_user_folders.h"
#include "temp_folder.h"
#include "window_capture.h"

namespace {

const char* kTitle = "qvisView";

struct Program {
    const char* name;
    const char* path;
    const char* table; // of its settings
    const char* title; // of its (first) window
    // What it says over the pedal recordings, which have no gear.
    const char* err = "";
};
// telemetry-overlay runs the strip alone unless the settings enable more.
const Program kPrograms[] = {
    {"overlay", OVERLAY_EXE, "strip", kTitle},
    {"overlay-trackmap", TRACKMAP_EXE, "trackmap", kTitle},
    {"overlay-varplot", VARPLOT_EXE, "varplot", kTitle,
     "variable plot: the telemetry has no variable Gear; its line stays at 0\n"},
    {"telemetry-overlay", TELEMETRY_OVERLAY_EXE, "strip", "Throttle/brake"},
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
    std::string settingsFile() const { return dir.path() + "/config/telemetry-overlay/settings.toml"; }
    std::string settings() const { return readFile(settingsFile()); }
    void writeSettings(const std::string& text) const
    {
        shellOutput("mkdir -p '" + dir.path() + "/config/telemetry-overlay'");
        std::ofstream(settingsFile(), std::ios::binary) << text;
    }
    std::unique_ptr<ChildProcess> start(const char* program, const char* source = "file",
                                        const std::string& moreEnv = "") const
    {
        std::vector<std::string> environment{env};
        if (!moreEnv.empty())
            environment.push_back(moreEnv);
        return std::make_unique<ChildProcess>(dir.path(), std::vector<std::string>{program, source}, environment);
    }

    TempFolder dir;
    const std::string env = "XDG_CONFIG_HOME=" + dir.path() + "/config";
};

// A car on track for a long replay, at a steady pace round the lap, but for
// the samples [first, end) of each stretch in the pits.
void writeOnTrackRecording(const std::string& path, int samples,
                           const std::vector<std::pair<size_t, size_t>>& pits = {})
{
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(samples, 0.1f, 0.0001f), 0.5f, 0.0f, 0.0f);
    for (const auto& stretch : pits) {
        for (size_t i = stretch.first; i < stretch.second; ++i)
            s[i].onTrack = 0;
    }
    ASSERT_TRUE(writePedalRecording(path, s));
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
    id = waitForWindow(program.title, 30);
    if (id.empty())
        return {};
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return placeOf(id);
}

} // namespace

// A window standing in for the simulator keeps the keyboard while each
// program's window opens, hides in the pits, shows, hides at a pit stop and
// shows again, live.
TEST(Desktop, NoWindowTakesTheFocusWhenItShows)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    Desk desk;
    writeOnTrackRecording(desk.recording(), 1500, {{0, 120}, {420, 540}}); // out of the pits, a pit stop
    LoggingWindow simulator(desk.dir.path(), "simulator", 0, 0, 1200, 900);
    ASSERT_FALSE(simulator.id().empty());

    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const std::string prefix = "IRSDK_SHM_PREFIX=focus" + std::to_string(::getpid()) + "_";
        ChildProcess publisher(desk.dir.path(), {IBT_EXE, "publish", "telemetry.ibt", "--loop"}, {prefix});
        ASSERT_TRUE(simulator.activate());
        auto child = desk.start(program.path, "sim", prefix);

        // Shown, hidden, shown again, with the focus checked all along.
        std::vector<bool> phases;
        int lost = 0;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (phases.size() < 3 && std::chrono::steady_clock::now() < end) {
            const bool shown = !visibleWindow(program.title).empty();
            if (phases.empty() ? shown : phases.back() != shown)
                phases.push_back(shown);
            lost += !simulator.hasFocus();
        }
        ASSERT_EQ(phases.size(), 3u) << "the window did not show, hide and show again\n" << child->err();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        lost += !simulator.hasFocus();
        EXPECT_EQ(lost, 0) << "the program's window took the focus";
        child->stop(SIGTERM);
        EXPECT_EQ(child->exitStatus(), 0);
        publisher.stop(SIGINT);
    }
}

TEST(Desktop, StripStaysAboveAWindowActivatedAfterItCameBack)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    Desk desk;
    writeOnTrackRecording(desk.recording(), 2500, {{150, 400}}); // a pit stop

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
    REQUIRE_DESKTOP(session);
    Desk desk;
    writeOnTrackRecording(desk.recording(), 20000);

    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        std::unique_ptr<ChildProcess> child;
        std::string id;
        const Place opened = openAndPlace(desk, program, child, id);
        ASSERT_FALSE(id.empty()) << child->err();
        drag(id, -120, -100);
        const Place left = placeOf(id);
        ASSERT_EQ(left, (Place{opened.x - 120, opened.y - 100})) << "the window did not end where the pointer took it";
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
    // One file, one table per program with its position.
    const std::string settings = desk.settings();
    for (const Program& program : kPrograms)
        EXPECT_NE(settings.find(std::string("[") + program.table + "]\nposition = ["), std::string::npos) << settings;
}

TEST(Desktop, BadSettingsGiveTheDefaultPlace)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
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
        int lines; // on standard error, each naming the settings file
    };
    const Case cases[] = {
        {"a corrupt line", "[strip]\n\x7f\x45LF\x02\x01\x01\n", 1},
        {"a bad value", "[strip]\nposition = [40, \"40\"]\n", 1},
        {"a place on no monitor", "[strip]\nposition = [5000, 4000]\n", 0},
        {"a place beyond the left edge", "[strip]\nposition = [-690, 40]\n", 0},
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
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.lines) << err;
        if (c.lines > 0) {
            EXPECT_EQ(err.rfind("overlay: settings file " + desk.settingsFile(), 0), 0u) << err;
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
            EXPECT_EQ(out.rfind(std::string("usage: ") + program.name + " [sim|file|URL]", 0), 0u) << out;
            for (const char* needed : {"left mouse button", "Escape", "Ctrl-C", "settings.toml"})
                EXPECT_NE(out.find(needed), std::string::npos) << needed << " missing from\n" << out;
        }
        ChildProcess child(dir.path(), {program.path, "--helpme"});
        ASSERT_TRUE(child.waitExit(10));
        EXPECT_EQ(child.exitStatus(), 2);
        EXPECT_EQ(child.out(), "");
    }
}
