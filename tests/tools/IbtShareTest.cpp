// ibt share and ibt watch --from as separate processes through a broker
// the test starts: every record of a replay arrives in order and exactly;
// both sides connect again by themselves when the broker restarts; over TLS
// with a login only the variables asked for are shared; a wrong password is
// one line, not a hang, and never shows the password.
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "files.h"
#include "pedal_recording.h"
#include "temp_folder.h"
#include "test_broker.h"
#include "wait_until.h"

namespace {

using Args = std::vector<std::string>;

Args operator+(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::unique_ptr<ChildProcess> ibt(const TempFolder& dir, const std::string& name, Args args)
{
    args.insert(args.begin(), IBT_PATH);
    return std::make_unique<ChildProcess>(args, dir.file(name + ".out"), dir.file(name + ".err"));
}

size_t lines(const std::string& text)
{
    size_t n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

// A lap of 400 samples whose throttle and fraction differ in every record.
std::string writeLap(const TempFolder& dir)
{
    std::vector<PedalSample> s;
    appendLap(s, 2, fractionRamp(400, 0.0f, 0.0025f), 0.0f, 0.0f, 0.0f);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i].throttle = static_cast<float>(i % 97) / 96.0f;
        s[i].brake = static_cast<float>(i % 13) / 12.0f;
    }
    const std::string path = dir.file("lap.ibt");
    return writePedalRecording(path, s) ? path : "";
}

} // namespace

TEST(IbtShare, EveryRecordOfAReplayArrivesInOrderAndExactly)
{
    TestBroker broker;
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    TempFolder dir("share-exact");
    const std::string lap = writeLap(dir);
    const Args columns = {"SessionTime", "Throttle", "Brake", "LapDistPct", "Lap", "IsOnTrack"};
    const Args watchArgs = Args{"watch", "--from", broker.url("team/exact"), "--count", "400"} + columns;
    auto watch = ibt(dir, "watch", watchArgs);
    ASSERT_TRUE(broker.waitForViewers("team/exact", 1, 10));
    auto share = ibt(dir, "share", {"share", broker.url("team/exact"), lap, "--rate", "400"});
    EXPECT_EQ(share->wait(), 0) << share->err();
    EXPECT_EQ(share->err(), "");
    ASSERT_TRUE(watch->waitExit(20));
    EXPECT_EQ(watch->exitStatus(), 0) << watch->err();
    const Args csvArgs = Args{"csv", lap} + columns;
    auto csv = ibt(dir, "csv", csvArgs);
    ASSERT_EQ(csv->wait(), 0);
    EXPECT_EQ(watch->out(), csv->out());
}

TEST(IbtShare, BothSidesConnectAgainWhenTheBrokerRestarts)
{
    TestBroker broker;
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    TempFolder dir("share-restart");
    const std::string lap = writeLap(dir);
    auto watch = ibt(dir, "watch", {"watch", "--from", broker.url("team/restart"), "--timeout-ms", "30000", "Lap"});
    ASSERT_TRUE(broker.waitForViewers("team/restart", 1, 10));
    auto share = ibt(dir, "share", {"share", broker.url("team/restart"), lap, "--loop"});
    ASSERT_TRUE(waitUntil(10, [&] { return lines(watch->out()) > 30; })) << watch->err() << share->err();

    broker.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const size_t before = lines(watch->out());
    ASSERT_TRUE(broker.start()) << broker.problem();
    EXPECT_TRUE(waitUntil(20, [&] { return lines(watch->out()) > before + 60; }))
        << "no records after the restart\n" << watch->err() << share->err();
    EXPECT_TRUE(share->running());
    share->stop(SIGTERM);
    EXPECT_EQ(share->exitStatus(), 0) << share->err();
    watch->stop(SIGTERM);
    EXPECT_EQ(watch->exitStatus(), 0) << watch->err();
}

TEST(IbtShare, OverTlsWithALoginOnlyTheVariablesAskedForAreShared)
{
    TestBroker broker(true);
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    TempFolder dir("share-tls");
    const std::string lap = writeLap(dir);
    const std::string url = broker.secureUrl("team/tls");
    const Args login = {"--username", TestBroker::kUser, "--password-file", broker.passwordFile(),
                                            "--ca-file", broker.caFile()};
    const Args watchArgs = Args{"watch", "--from", url, "--count", "400", "Throttle", "Lap"} + login;
    auto watch = ibt(dir, "watch", watchArgs);
    ASSERT_TRUE(broker.waitForViewers("team/tls", 1, 10)) << watch->err();
    const Args shareArgs = Args{"share", url, lap, "--rate", "400", "--variables", "Throttle,Lap,NoSuchVar"} + login;
    auto share = ibt(dir, "share", shareArgs);
    EXPECT_EQ(share->wait(), 0) << share->err();
    EXPECT_EQ(share->err(), "ibt: share: not in the telemetry, so not shared: NoSuchVar\n");
    ASSERT_TRUE(watch->waitExit(20));
    auto csv = ibt(dir, "csv", {"csv", lap, "Throttle", "Lap"});
    ASSERT_EQ(csv->wait(), 0);
    EXPECT_EQ(watch->out(), csv->out()) << watch->err();

    // A variable that was not shared is not there to watch.
    const Args brakeArgs = Args{"watch", "--from", url, "--count", "1", "Brake"} + login;
    auto brake = ibt(dir, "brake", brakeArgs);
    ASSERT_TRUE(waitUntil(10, [&] { return broker.waitForViewers("team/tls", 2, 0); }));
    auto again = ibt(dir, "again", shareArgs);
    EXPECT_EQ(again->wait(), 0);
    ASSERT_TRUE(brake->waitExit(10));
    EXPECT_EQ(brake->exitStatus(), 2);
    EXPECT_EQ(brake->err(), "ibt: watch: unknown variable Brake\n");
}

TEST(IbtShare, AWrongPasswordIsOneLineAndNeverShowsThePassword)
{
    TestBroker broker(true);
    if (!broker.problem().empty())
        FAIL() << broker.problem();
    TempFolder dir("share-login");
    const std::string lap = writeLap(dir);
    const std::string url = broker.secureUrl("team/login");
    const Args login = {"--username", TestBroker::kUser, "--password-file",
                                            broker.wrongPasswordFile(), "--ca-file", broker.caFile()};
    const Args shareArgs = Args{"share", url, lap} + login;
    const Args watchArgs = Args{"watch", "--from", url, "Lap"} + login;
    const std::string wrong = readFile(broker.wrongPasswordFile());
    for (auto* args : {&shareArgs, &watchArgs}) {
        auto child = ibt(dir, "child", *args);
        ASSERT_TRUE(child->waitExit(8)) << "hangs on a refused login";
        EXPECT_EQ(child->exitStatus(), 2);
        const std::string err = child->err();
        EXPECT_EQ(lines(err), 1u) << err;
        EXPECT_NE(err.find("refused the login: Connection Refused: not authorised."), std::string::npos) << err;
        EXPECT_EQ(err.find(wrong.substr(0, wrong.size() - 1)), std::string::npos) << "the password was shown";
        EXPECT_EQ(child->out(), "");
    }
}
