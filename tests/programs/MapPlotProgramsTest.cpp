// overlay-trackmap and overlay-varplot end to end: started in a run folder
// with Shaders/ and a recording, closed with Escape on their window; and
// their answers to bad arguments.
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "demo_synth.h"
#include "private_user_folders.h"
#include "temp_folder.h"
#include "test_display.h"

namespace {

// Exit status, or -1 when the program had to be killed after `seconds`;
// `poke` is called with the child's process id while it runs.
int finish(ChildProcess& r, int seconds, void (*poke)(long) = nullptr)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (r.running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            r.stop(SIGKILL);
            return -1;
        }
        if (poke)
            poke(r.id());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return r.exitStatus();
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }

    // A run folder as the build lays it out, with a one-lap demo session.
    void layOutRunFolder()
    {
        ASSERT_EQ(shellOutput("cp -r '" OVERLAY_SOURCE_ROOT "/Shaders' '" + dir + "/' && echo ok"), "ok\n");
        ASSERT_TRUE(writeDemoSession(dir + "/telemetry.ibt", 1, 3));
    }

    TempFolder folder{"overlay-programs"};
    std::string dir = folder.path();
};

// Sends Escape to the program's window once it is visible; again on every
// call, since the window hides while the recorded car is still in the pits.
void pressEscape(long pid)
{
    const std::string id = shellOutput("timeout 20 xdotool search --sync --onlyvisible --pid " +
                                       std::to_string(pid) + " --name qvisView 2>/dev/null | head -n 1");
    if (!id.empty())
        shellOutput("xdotool key --window " + id.substr(0, id.find('\n')) + " Escape >/dev/null 2>&1");
}

struct ProgramCase {
    const char* program;
    std::vector<std::string> args;
};

TEST_F(ProgramRun, EscapeShutsDownCleanly)
{
    REQUIRE_TEST_DISPLAY();
    layOutRunFolder();
    const ProgramCase cases[] = {
        {TRACKMAP_PROGRAM, {"file"}},
        {VARPLOT_PROGRAM, {"file"}},
        {VARPLOT_PROGRAM, {"file", "Speed", "RPM", "Gear@int", "SessionTimeTotal@double"}},
    };
    for (const ProgramCase& c : cases) {
        SCOPED_TRACE(c.program);
        std::vector<std::string> args{c.program};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ChildProcess r(dir, args);
        ASSERT_TRUE(r.started());
        EXPECT_EQ(finish(r, 90, pressEscape), 0);
        EXPECT_EQ(r.out(), "Shutting down.\n\n");
    }
}

TEST_F(ProgramRun, BadArgumentsGiveOneLineAndStatusTwo)
{
    std::vector<std::string> sixteen{"file"};
    for (int i = 0; i < 16; ++i)
        sixteen.push_back("Speed");
    const ProgramCase cases[] = {
        {TRACKMAP_PROGRAM, {"replay"}},
        {TRACKMAP_PROGRAM, {"FILE"}},
        {VARPLOT_PROGRAM, {"live", "Speed"}},
        {VARPLOT_PROGRAM, {"file", "Speed@long"}},
        {VARPLOT_PROGRAM, {"sim", "Speed", "@int"}},
        {VARPLOT_PROGRAM, sixteen},
    };
    for (const ProgramCase& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " " + c.args[0] + " ... " + c.args.back());
        std::vector<std::string> args{c.program};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ChildProcess r(dir, args);
        ASSERT_TRUE(r.started());
        EXPECT_EQ(finish(r, 20), 2);
        EXPECT_EQ(r.out(), "");
        const std::string err = r.err();
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

} // namespace
