// overlay-trackmap and overlay-varplot end to end: started in a run folder
// with Shaders/ and a recording, closed with Escape on their window; and
// their answers to bad arguments.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "demo_synth.h"
#include "private_user_folders.h"
#include "test_display.h"

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Output of a shell command.
std::string shell(const std::string& command)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    return out;
}

struct Child {
    pid_t pid = -1;
    std::string outPath, errPath;
};

// Starts a program in `dir` with its standard output and error in files.
Child start(const std::string& program, const std::vector<std::string>& args, const std::string& dir)
{
    Child r;
    r.outPath = dir + "/stdout.txt";
    r.errPath = dir + "/stderr.txt";
    r.pid = ::fork();
    if (r.pid == 0) {
        if (::chdir(dir.c_str()) != 0)
            ::_exit(127);
        const int out = ::open(r.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(r.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return r;
}

// Exit status, or -1 when the program had to be killed after `seconds` or
// did not exit normally.
int finish(Child& r, int seconds, void (*poke)(pid_t) = nullptr)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (::waitpid(r.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(r.pid, SIGKILL);
            ::waitpid(r.pid, &status, 0);
            return -1;
        }
        if (poke)
            poke(r.pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/overlay-programs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        if (!dir.empty())
            shell("rm -rf '" + dir + "'");
    }

    // A run folder as the build lays it out, with a one-lap demo session.
    void layOutRunFolder()
    {
        ASSERT_EQ(shell("cp -r '" OVERLAY_SOURCE_ROOT "/Shaders' '" + dir + "/' && echo ok"), "ok\n");
        ASSERT_TRUE(writeDemoSession(dir + "/telemetry.ibt", 1, 3));
    }

    std::string dir;
};

// Sends Escape to the program's window once it is visible; again on every
// call, since the window hides while the recorded car is still in the pits.
void pressEscape(pid_t pid)
{
    const std::string id = shell("timeout 20 xdotool search --sync --onlyvisible --pid " + std::to_string(pid) +
                                 " --name qvisView 2>/dev/null | head -n 1");
    if (!id.empty())
        shell("xdotool key --window " + id.substr(0, id.find('\n')) + " Escape >/dev/null 2>&1");
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
        Child r = start(c.program, c.args, dir);
        ASSERT_GT(r.pid, 0);
        EXPECT_EQ(finish(r, 90, pressEscape), 0);
        EXPECT_EQ(readFile(r.outPath), "Shutting down.\n\n");
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
        Child r = start(c.program, c.args, dir);
        ASSERT_GT(r.pid, 0);
        EXPECT_EQ(finish(r, 20), 2);
        EXPECT_EQ(readFile(r.outPath), "");
        const std::string err = readFile(r.errPath);
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
}

} // namespace
