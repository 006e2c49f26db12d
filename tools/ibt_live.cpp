#include "ibt_live.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ibt_args.h"
#include "ibt_columns.h"
#include "irsdk_client.h"
#include "irsdk_diskclient.h"
#include "ibt_share.h"
#include "live_publisher.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

} // namespace

void ibtCatchStop()
{
    stopRequested = 0;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
}

void ibtReleaseStop()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool ibtStopRequested()
{
    return stopRequested != 0;
}

int ibtReplayOption(const char* command, int argc, char** argv, int* i, double* rate, bool* loop)
{
    const std::string arg = argv[*i];
    if (arg == "--loop") {
        *loop = true;
        return 1;
    }
    if (arg != "--rate")
        return 0;
    if (!ibtParsePositive(*i + 1 < argc ? argv[*i + 1] : nullptr, kMaxRate, *rate) || *rate < kMinRate)
        return ibtError(command, "--rate needs a rate in Hz from 0.001 to 1000000");
    ++*i;
    return 1;
}

bool ibtSleepUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto step = std::chrono::milliseconds(50);
    while (!stopRequested) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return true;
        std::this_thread::sleep_until(deadline - now > step ? now + step : deadline);
    }
    return false;
}

namespace {

const char* const kPublishHelp =
    "usage: ibt publish FILE [--rate HZ] [--loop]\n"
    "Publishes the records of FILE as live telemetry, HZ a second (default 60,\n"
    "from 0.001 to 1000000), from the first again with --loop, until the end or\n"
    "Ctrl-C. The connected bit is set while it runs; the shared memory is\n"
    "removed when it ends.\n";

const char* const kWatchHelp =
    "usage: ibt watch [--from URL [--username NAME] [--password-file FILE] [--ca-file FILE]]\n"
    "                 [--count N] [--timeout-ms T] COLUMN...\n"
    "Prints one CSV row per live record (columns as in ibt csv) until N rows,\n"
    "or until the telemetry ends and does not come back within T ms (default\n"
    "10000, at most 86400000). Exit status 2 when nothing connects within T ms.\n"
    "With --from, the records come from the telemetry shared at URL through an\n"
    "MQTT broker (see ibt share --help) instead of the simulator.\n";

} // namespace

// Publishes the records of a recording as live telemetry at a fixed rate,
// from the first again with --loop, until the end or Ctrl-C.
int ibtPublish(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kPublishHelp);
    const char* path = nullptr;
    double rate = 60.0;
    bool loop = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const int taken = ibtReplayOption("publish", argc, argv, &i, &rate, &loop);
        if (taken == 2)
            return 2;
        if (taken == 1)
            continue;
        if (!arg.empty() && arg[0] == '-') {
            return ibtError("publish", "unknown option " + arg);
        } else if (!path) {
            path = argv[i];
        } else {
            return ibtError("publish", "more than one FILE");
        }
    }
    if (!path)
        return ibtError("publish", "expected FILE (see ibt publish --help)");

    irsdkDiskClient reader;
    if (!reader.openFile(path))
        return ibtError("publish", std::string("cannot read the recording ") + path);
    const irsdk_TelemetryHeader& fileHeader = reader.getHeader();
    // Live records carry the part of each recorded one that the reader
    // keeps: everything up to the end of the last readable variable.
    const int recordLength = reader.getRecordBytes();
    if (fileHeader.recordLength <= 0 || recordLength <= 0)
        return ibtError("publish", std::string("the recording has no records: ") + path);
    std::vector<irsdk_VarDescriptor> vars;
    for (int i = 0; i < fileHeader.varCount; ++i)
        vars.push_back(*reader.getVarDescriptor(i));

    // Handlers first, so that Ctrl-C never leaves the objects behind.
    ibtCatchStop();
    LivePublisher publisher;
    if (!publisher.open(reader.getSessionText(), vars, recordLength)) {
        ibtReleaseStop();
        return ibtError("publish", "cannot create the live telemetry: " + publisher.error());
    }
    publisher.setConnected(true);

    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate));
    auto deadline = std::chrono::steady_clock::now();
    long long published = 0;
    bool failed = false;
    while (!stopRequested) {
        if (!reader.getNextData()) {
            if (!loop)
                break;
            // Back to the first record; a file that vanished or lost its
            // records ends the run with an error.
            if (!reader.openFile(path) || !reader.getNextData()) {
                failed = true;
                break;
            }
        }
        if (!ibtSleepUntil(deadline))
            break;
        publisher.publish(reader.getRecord());
        ++published;
        // Keep the recorded rate; after a long stall start counting anew
        // instead of publishing the backlog in a burst.
        deadline += period;
        const auto now = std::chrono::steady_clock::now();
        if (now - deadline > std::chrono::seconds(1))
            deadline = now;
    }
    // The last record stays published for a period, and at least half a
    // second, before the objects go: a reader that is busy when it comes
    // still takes it, as it takes every other.
    if (!failed && published > 0 && !stopRequested)
        ibtSleepUntil(std::max(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(500)));
    publisher.close();
    ibtReleaseStop();
    if (failed)
        return ibtError("publish", std::string("cannot read the recording again: ") + path);
    if (published == 0 && !stopRequested)
        return ibtError("publish", std::string("the recording has no records: ") + path);
    return 0;
}

// Prints one CSV row per live record, after a header row, until --count rows
// or until the telemetry ends and does not come back within the time-out.
int ibtWatch(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kWatchHelp);
    long long count = 0; // 0: until the telemetry ends
    long long timeoutMs = 10000;
    std::vector<IbtColumn> columns;
    std::string from;
    BrokerLogin login;
    bool loginGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const int taken = ibtLoginOption("watch", argc, argv, &i, &login);
        if (taken == 2)
            return 2;
        if (taken == 1) {
            loginGiven = true;
            continue;
        }
        if (arg == "--from") {
            if (i + 1 >= argc)
                return ibtError("watch", "--from needs a broker URL");
            from = argv[++i];
        } else if (arg == "--count") {
            if (!ibtParseWhole(i + 1 < argc ? argv[i + 1] : nullptr, 0, LLONG_MAX, count))
                return ibtError("watch", "--count needs a whole number from 0");
            ++i;
        } else if (arg == "--timeout-ms") {
            if (!ibtParseWhole(i + 1 < argc ? argv[i + 1] : nullptr, 0, kMaxTimeoutMs, timeoutMs))
                return ibtError("watch", "--timeout-ms needs a whole number from 0 to " + std::to_string(kMaxTimeoutMs));
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return ibtError("watch", "unknown option " + arg);
        } else {
            IbtColumn column;
            std::string error;
            if (!ibtParseColumn(arg, column, error))
                return ibtError("watch", error);
            columns.push_back(column);
        }
    }
    if (columns.empty())
        return ibtError("watch", "expected COLUMN... (see ibt watch --help)");
    if (!from.empty())
        return ibtWatchBroker(from, login, count, timeoutMs, columns);
    if (loginGiven)
        return ibtError("watch", "--username, --password-file and --ca-file are for --from");

    ibtCatchStop();
    irsdkClient& client = irsdkClient::instance();
    const auto timeout = std::chrono::milliseconds(timeoutMs);
    auto lastRecord = std::chrono::steady_clock::now();
    int resolvedStatus = -1;
    long long rows = 0;
    int status = 0;
    std::string out;
    while (!stopRequested && (count == 0 || rows < count)) {
        if (!client.waitForData(16)) {
            if (std::chrono::steady_clock::now() - lastRecord < timeout)
                continue;
            if (rows == 0) {
                std::fprintf(stderr, "ibt: watch: no live telemetry within %lld ms\n", timeoutMs);
                status = 2;
            } else if (count != 0) {
                std::fprintf(stderr, "ibt: watch: the live telemetry ended after %lld of %lld rows\n", rows, count);
                status = 2;
            }
            break;
        }
        lastRecord = std::chrono::steady_clock::now();
        // A new connection may bring another layout: look the columns up again.
        if (client.getStatusID() != resolvedStatus) {
            std::string error;
            if (!ibtResolveColumns(client, columns, error)) {
                std::fprintf(stderr, "ibt: watch: %s\n", error.c_str());
                status = 2;
                break;
            }
            if (resolvedStatus == -1)
                std::fputs(ibtHeaderRow(columns).c_str(), stdout);
            resolvedStatus = client.getStatusID();
        }
        out.clear();
        ibtAppendRow(out, client, columns);
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        ++rows;
    }
    client.shutdown();
    ibtReleaseStop();
    return status;
}
