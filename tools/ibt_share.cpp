#include "ibt_share.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "BrokerSource.h"
#include "IRData.h"
#include "TelemetrySharer.h"
#include "ibt_args.h"
#include "ibt_live.h"
#include "irsdk_diskclient.h"
#include "value_convert.h"

namespace {

const char* const kShareHelp =
    "usage: ibt share URL [FILE [--rate HZ] [--loop]] [--variables NAME,...]\n"
    "                 [--username NAME] [--password-file FILE] [--ca-file FILE] [--timeout-ms T]\n"
    "Shares telemetry through the MQTT broker at URL, mqtt://HOST[:PORT]/TOPIC or\n"
    "mqtts://HOST[:PORT]/TOPIC (TLS; the server's certificate is checked against\n"
    "the CA file, else the system's certificates): the records of FILE, HZ a second\n"
    "(default 60), from the first again with --loop; without FILE the simulator's\n"
    "live telemetry, until Ctrl-C. --variables shares only the variables named.\n"
    "The password is read from the first line of the password file. Waits up to\n"
    "T ms (default 10000) for the broker at the start; after that it connects\n"
    "again by itself whenever the broker goes away (records meanwhile are lost).\n"
    "Exit status 2 when the broker cannot be reached at the start or refuses the\n"
    "login.\n";

// Splits NAME,NAME,... into names; false for an empty name.
bool splitNames(const std::string& text, std::vector<std::string>* names)
{
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty() || name.size() >= IRSDK_MAX_STRING)
            return false;
        names->push_back(name);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

// Waits for the first connection; false after printing one line when the
// broker refused the login or could not be reached within timeoutMs.
bool awaitBroker(const char* command, const BrokerConnection& connection, const BrokerAddress& address,
                 long long timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (connection.state() != BrokerConnection::State::Connected) {
        if (connection.state() == BrokerConnection::State::Refused) {
            ibtError(command, "the broker at " + address.where() + " refused the login: " + connection.lastError());
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline || ibtStopRequested()) {
            const std::string why = connection.lastError();
            ibtError(command, "cannot reach the broker at " + address.where() + " within " +
                                  std::to_string(timeoutMs) + " ms" + (why.empty() ? "" : ": " + why));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The variables of a source's current sample, read as ibt csv reads a
// recording (ibtResolveColumns, ibtAppendRow).
class ViewReader {
public:
    explicit ViewReader(const TelemetryView& v) : v(v) {}

    int getVarIdx(const char* name) const { return irsdk_findVar(v.vars, v.varCount, name); }
    int getVarCount(int idx) const { return v.vars[idx].elementCount; }
    int getVarType(int idx) const { return v.vars[idx].typeCode; }
    bool isVarReadable(int idx) const { return irsdk_convert::readable(v.vars[idx], v.recordLength); }
    bool getVarBool(int idx, int entry) const { return irsdk_convert::readBool(at(idx, entry), v.vars[idx].typeCode); }
    int getVarInt(int idx, int entry) const { return irsdk_convert::readInt(at(idx, entry), v.vars[idx].typeCode); }
    float getVarFloat(int idx, int entry) const { return irsdk_convert::readFloat(at(idx, entry), v.vars[idx].typeCode); }
    double getVarDouble(int idx, int entry) const
    {
        return irsdk_convert::readDouble(at(idx, entry), v.vars[idx].typeCode);
    }

private:
    // Resolved columns name readable variables and entries in range.
    const char* at(int idx, int entry) const
    {
        return v.record + irsdk_convert::entryOffset(v.vars[idx], entry, v.recordLength);
    }

    TelemetryView v;
};

} // namespace

int ibtLoginOption(const char* command, int argc, char** argv, int* i, BrokerLogin* login)
{
    const std::string arg = argv[*i];
    if (arg != "--username" && arg != "--password-file" && arg != "--ca-file")
        return 0;
    if (*i + 1 >= argc || argv[*i + 1][0] == '\0')
        return ibtError(command, arg + " needs a value");
    const std::string value = argv[++*i];
    if (arg == "--username") {
        login->username = value;
    } else if (arg == "--ca-file") {
        login->caFile = value;
    } else {
        std::string error;
        if (!readPasswordFile(value, &login->password, &error))
            return ibtError(command, error);
    }
    return 1;
}

int ibtShare(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kShareHelp);
    std::string url;
    const char* path = nullptr;
    double rate = 60.0;
    bool loop = false;
    long long timeoutMs = 10000;
    BrokerLogin login;
    std::vector<std::string> variables;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int taken = ibtLoginOption("share", argc, argv, &i, &login);
        if (taken == 0)
            taken = ibtReplayOption("share", argc, argv, &i, &rate, &loop);
        if (taken == 2)
            return 2;
        if (taken == 1)
            continue;
        if (arg == "--timeout-ms") {
            if (!ibtParseWhole(i + 1 < argc ? argv[i + 1] : nullptr, 0, kMaxTimeoutMs, timeoutMs))
                return ibtError("share", "--timeout-ms needs a whole number from 0 to " + std::to_string(kMaxTimeoutMs));
            ++i;
        } else if (arg == "--variables") {
            if (i + 1 >= argc || !splitNames(argv[i + 1], &variables))
                return ibtError("share", "--variables needs NAME[,NAME...] (names of up to 31 characters)");
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return ibtError("share", "unknown option " + arg);
        } else if (url.empty()) {
            url = arg;
        } else if (!path) {
            path = argv[i];
        } else {
            return ibtError("share", "more than one FILE");
        }
    }
    if (url.empty())
        return ibtError("share", "expected URL (see ibt share --help)");
    if (!path && (loop || rate != 60.0))
        return ibtError("share", "--rate and --loop are for a FILE");
    BrokerAddress address;
    std::string error;
    if (!parseBrokerUrl(url, &address, &error))
        return ibtError("share", error);

    std::unique_ptr<IRData> source;
    if (path) {
        irsdkDiskClient check;
        if (!ibtOpenRecording(check, path, "share"))
            return 2;
        source = std::make_unique<IRData>(path);
        if (!source->updateData())
            return ibtError("share", std::string("the recording has no records: ") + path);
    } else {
        source = std::make_unique<IRData>();
    }

    ibtCatchStop();
    TelemetrySharer sharer(address, login, variables);
    if (!sharer.start(&error)) {
        ibtReleaseStop();
        return ibtError("share", error);
    }
    if (!awaitBroker("share", sharer.broker(), address, timeoutMs)) {
        ibtReleaseStop();
        return 2;
    }

    int status = 0;
    if (!path) {
        // The simulator's own pace: each new record is shared as it comes.
        while (!ibtStopRequested())
            if (source->updateData())
                sharer.share(source->source());
    } else {
        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / rate));
        auto deadline = std::chrono::steady_clock::now();
        while (ibtSleepUntil(deadline)) {
            // A replay may wait for a broker that is slow to take what it
            // was given (a second at most), so that it loses no record; the
            // overlay's sharing never waits.
            const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (sharer.broker().pending() >= BrokerConnection::kMaxPending &&
                   std::chrono::steady_clock::now() < patience && !ibtStopRequested())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sharer.share(source->source());
            deadline += period;
            const auto now = std::chrono::steady_clock::now();
            if (now - deadline > std::chrono::seconds(1))
                deadline = now;
            if (source->updateData())
                continue;
            if (!loop)
                break;
            // Back to the first record: the file is opened again.
            source->endSession();
            if (!source->updateData()) {
                status = ibtError("share", std::string("cannot read the recording again: ") + path);
                break;
            }
        }
        // The last records are written before the goodbye, as far as the
        // broker takes them within a second.
        const auto flushed = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (sharer.broker().pending() > 0 && std::chrono::steady_clock::now() < flushed)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!sharer.missingVariables().empty()) {
        std::string names;
        for (const std::string& n : sharer.missingVariables())
            names += (names.empty() ? "" : ", ") + n;
        std::fprintf(stderr, "ibt: share: not in the telemetry, so not shared: %s\n", names.c_str());
    }
    if (sharer.droppedRecords() > 0)
        std::fprintf(stderr, "ibt: share: %llu of %llu records dropped while the broker could not take them\n",
                     static_cast<unsigned long long>(sharer.droppedRecords()),
                     static_cast<unsigned long long>(sharer.droppedRecords() + sharer.sharedRecords()));
    sharer.stop();
    source->endSession();
    ibtReleaseStop();
    return status;
}

int ibtWatchBroker(const std::string& url, const BrokerLogin& login, long long count, long long timeoutMs,
                   std::vector<IbtColumn>& columns)
{
    BrokerAddress address;
    std::string error;
    if (!parseBrokerUrl(url, &address, &error))
        return ibtError("watch", error);
    // Rows are printed as fast as they come; a queue of a minute at 60 Hz
    // rides out a reader of the output that stalls.
    BrokerSource source(address, login, "ibt: watch", 3600);
    if (!source.start(&error))
        return ibtError("watch", error);
    ibtCatchStop();
    const auto timeout = std::chrono::milliseconds(timeoutMs);
    auto lastRecord = std::chrono::steady_clock::now();
    bool resolved = false;
    unsigned generation = 0;
    long long rows = 0;
    int status = 0;
    std::string out;
    while (!ibtStopRequested() && (count == 0 || rows < count)) {
        if (source.brokerState() == BrokerConnection::State::Refused) {
            status = ibtError("watch", "the broker at " + address.where() + " refused the login: " + source.brokerError());
            break;
        }
        if (!source.next(16)) {
            if (std::chrono::steady_clock::now() - lastRecord < timeout)
                continue;
            if (rows == 0) {
                const char* why = source.whyNoTelemetry();
                status = ibtError("watch", "no telemetry from " + url + " within " + std::to_string(timeoutMs) +
                                               " ms" + (why ? std::string(": ") + why : ""));
            } else if (count != 0) {
                status = ibtError("watch", "the shared telemetry ended after " + std::to_string(rows) + " of " +
                                               std::to_string(count) + " rows");
            }
            break;
        }
        lastRecord = std::chrono::steady_clock::now();
        const TelemetryView v = source.view();
        const ViewReader reader(v);
        // A new layout may place the variables elsewhere: look the columns up again.
        if (!resolved || v.layoutGeneration != generation) {
            if (!ibtResolveColumns(reader, columns, error)) {
                status = ibtError("watch", error);
                break;
            }
            if (!resolved)
                std::fputs(ibtHeaderRow(columns).c_str(), stdout);
            resolved = true;
            generation = v.layoutGeneration;
        }
        out.clear();
        ibtAppendRow(out, reader, columns);
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
        ++rows;
    }
    if (source.droppedRecords() > 0)
        std::fprintf(stderr, "ibt: watch: %llu records dropped while printing fell behind\n",
                     static_cast<unsigned long long>(source.droppedRecords()));
    source.endSession();
    ibtReleaseStop();
    return status;
}
