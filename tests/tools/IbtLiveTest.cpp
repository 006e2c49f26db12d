// ibt publish and ibt watch as separate processes: a recording published as
// live telemetry comes out of watch in order with none repeated; publish
// removes its objects on Ctrl-C; bad arguments and an absent publisher give
// one message and status 2.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "child_process.h"
#include "files.h"
#include "ibt_writer.h"
#include "temp_folder.h"

namespace {

// Starts ibt with args, its output going to the files out and err.
std::unique_ptr<ChildProcess> spawnIbt(const std::vector<std::string>& args, const std::string& out,
                                       const std::string& err)
{
    std::vector<std::string> argv{IBT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<ChildProcess>(argv, out, err);
}

// Waits for the exit; the exit status.
int exitStatus(const std::unique_ptr<ChildProcess>& child)
{
    return child->wait();
}

bool shmExists(const std::string& name)
{
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

class IbtLive : public ::testing::Test {
protected:
    void SetUp() override
    {
        prefix = "ibtlive" + std::to_string(getpid()) + "_";
        setenv("IRSDK_SHM_PREFIX", prefix.c_str(), 1);
        // Ticks 1, 4, 7, ... and a value tied to each, so a row shows which
        // record it came from.
        IbtWriter w;
        w.addVar("SessionTick", irsdk_int);
        w.addVar("Value", irsdk_double);
        w.setSessionText("WeekendInfo:\n TrackName: e2e\n");
        for (int i = 0; i < 200; ++i) {
            w.beginRecord();
            w.setInt(0, 3 * i + 1);
            w.set(1, i * 0.25);
            w.endRecord();
        }
        recording = tempPath("ibtlive_rec.ibt");
        ASSERT_TRUE(w.writeFile(recording));
    }
    void TearDown() override { std::remove(recording.c_str()); }

    std::string prefix;
    std::string recording;
};

TEST_F(IbtLive, WatchPrintsThePublishedRecordsInOrderNoneRepeated)
{
    const std::string out = tempPath("ibtlive_watch.out"), err = tempPath("ibtlive_watch.err");
    const auto watch = spawnIbt({"watch", "--count", "40", "--timeout-ms", "10000", "SessionTick", "Value"}, out, err);
    const auto publish = spawnIbt({"publish", recording, "--rate", "200"}, tempPath("ibtlive_pub.out"), tempPath("ibtlive_pub.err"));
    EXPECT_EQ(exitStatus(watch), 0) << readFile(err);
    EXPECT_EQ(exitStatus(publish), 0) << readFile(tempPath("ibtlive_pub.err"));

    std::istringstream rows(readFile(out));
    std::string line;
    ASSERT_TRUE(std::getline(rows, line));
    EXPECT_EQ(line, "SessionTick,Value");
    int count = 0, last = 0;
    while (std::getline(rows, line)) {
        int tick = 0;
        double value = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf", &tick, &value), 2) << line;
        EXPECT_GT(tick, last) << "in order, none repeated";
        EXPECT_EQ((tick - 1) % 3, 0) << line;
        EXPECT_DOUBLE_EQ(value, (tick - 1) / 3 * 0.25) << line;
        last = tick;
        ++count;
    }
    EXPECT_EQ(count, 40);
    EXPECT_FALSE(shmExists("/" + prefix + "IRSDKMemMapFileName")) << "removed at the end";
}

TEST_F(IbtLive, PublishEndsOnCtrlCAndRemovesItsObjects)
{
    const auto publish = spawnIbt({"publish", recording, "--loop", "--rate", "500"}, tempPath("ibtlive_p.out"), tempPath("ibtlive_p.err"));
    const std::string mem = "/" + prefix + "IRSDKMemMapFileName";
    const std::string event = "/" + prefix + "IRSDKDataValidEvent";
    for (int i = 0; i < 500 && !shmExists(mem); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(shmExists(mem));
    EXPECT_TRUE(shmExists(event));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    publish->signal(SIGINT);
    EXPECT_EQ(exitStatus(publish), 0) << readFile(tempPath("ibtlive_p.err"));
    EXPECT_FALSE(shmExists(mem));
    EXPECT_FALSE(shmExists(event));
}

TEST_F(IbtLive, BadArgumentsAndAnAbsentPublisherGiveOneLineAndStatusTwo)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"publish"}, "ibt: publish: expected FILE"},
        {{"publish", "/nonexistent/x.ibt"}, "ibt: publish: cannot read the recording"},
        {{"publish", "REC", "--rate", "0"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "fast"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "1e-300"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "0.0009"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "nan"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "inf"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "-60"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "1e400"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--rate", "2e6"}, "ibt: publish: --rate needs"},
        {{"publish", "REC", "--bogus"}, "ibt: publish: unknown option --bogus"},
        {{"publish", "REC", "REC"}, "ibt: publish: more than one FILE"},
        {{"watch"}, "ibt: watch: expected COLUMN"},
        {{"watch", "--count", "-1", "Value"}, "ibt: watch: --count needs"},
        {{"watch", "--count", "99999999999999999999", "Value"}, "ibt: watch: --count needs"},
        {{"watch", "--timeout-ms", "99999999999999999999", "Value"}, "ibt: watch: --timeout-ms needs"},
        {{"watch", "--timeout-ms", "86400001", "Value"}, "ibt: watch: --timeout-ms needs"},
        {{"watch", "--timeout-ms", "+5", "Value"}, "ibt: watch: --timeout-ms needs"},
        {{"watch", "--timeout-ms", " 5", "Value"}, "ibt: watch: --timeout-ms needs"},
        {{"watch", "Value@text"}, "ibt: watch: bad column"},
        {{"watch", "--timeout-ms", "100", "Value"}, "ibt: watch: no live telemetry within 100 ms"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            if (a == "REC")
                a = recording;
        const std::string err = tempPath("ibtlive_bad.err");
        EXPECT_EQ(exitStatus(spawnIbt(args, tempPath("ibtlive_bad.out"), err)), 2) << c.message;
        const std::string text = readFile(err);
        EXPECT_EQ(text.rfind(c.message, 0), 0u) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    }
}

TEST_F(IbtLive, WatchOfAnUnknownVariableSaysSo)
{
    const std::string err = tempPath("ibtlive_unk.err");
    const auto watch = spawnIbt({"watch", "--count", "5", "--timeout-ms", "10000", "Nope"}, tempPath("ibtlive_unk.out"), err);
    const auto publish = spawnIbt({"publish", recording, "--rate", "200"}, tempPath("ibtlive_pub.out"), tempPath("ibtlive_pub.err"));
    EXPECT_EQ(exitStatus(watch), 2);
    EXPECT_EQ(readFile(err), "ibt: watch: unknown variable Nope\n");
    EXPECT_EQ(exitStatus(publish), 0);
}

} // namespace
