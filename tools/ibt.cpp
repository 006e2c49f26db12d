// ibt: makes and inspects recorded telemetry files.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo_synth.h"
#include "file_offset.h"
#include "ibt_args.h"
#include "ibt_columns.h"
#include "ibt_compare.h"
#include "ibt_laps.h"
#include "ibt_live.h"
#include "ibt_reference.h"
#include "ibt_share.h"
#include "irsdk_diskclient.h"

namespace {

const char* const kUsage =
    "usage: ibt COMMAND [ARGS]\n"
    "\n"
    "Recorded telemetry (.ibt) files:\n"
    "  info FILE                      record count, variable count, record length, session text length\n"
    "  vars FILE                      one line per variable: index, name, type code, entry count, offset\n"
    "  session FILE PATH              the session-info value at PATH (exit 1 when not found)\n"
    "  csv FILE COLUMN...             the records as CSV; COLUMN is NAME[:ENTRY][@TYPE]\n"
    "  synth OUT [--laps N] [--seed S]  write a demo session\n"
    "  laps FILE                      one line per lap from start line to start line, with its time\n"
    "  delta FILE LAP REFLAP          the time between two laps through the lap, as CSV\n"
    "  compare FILE [--lap N] [--against M | --reference | --with OTHER[:LAP]] [--out PNG]\n"
    "                                 two laps on one picture, lane by lane along the lap\n"
    "Reference laps kept for the overlay's live runs:\n"
    "  reference import FILE [--force] | list | remove TRACK CAR\n"
    "Live telemetry:\n"
    "  publish FILE [--rate HZ] [--loop]  publish a recording as live telemetry\n"
    "  watch [--count N] [--timeout-ms T] COLUMN...  print live records as CSV\n"
    "Telemetry shared through an MQTT broker (the team view):\n"
    "  share URL [FILE [--rate HZ] [--loop]]  share live or recorded telemetry\n"
    "  watch --from URL [...] COLUMN...        print shared records as CSV\n"
    "\n"
    "'ibt COMMAND --help' describes a command. Errors exit with status 2.\n"
    "version " OVERLAY_VERSION "\n";

const char* const kInfoHelp =
    "usage: ibt info FILE\n"
    "Prints the number of whole records, the number of variables, the record\n"
    "length in bytes and the length of the session-info region, one per line.\n";

const char* const kVarsHelp =
    "usage: ibt vars FILE\n"
    "Prints one line per variable: index, name, type code (0 char, 1 bool,\n"
    "2 int, 3 bit field, 4 float, 5 double), entry count and byte offset in\n"
    "the record.\n";

const char* const kSessionHelp =
    "usage: ibt session FILE PATH\n"
    "Prints the session-info value at PATH and a newline. PATH is the keys\n"
    "with their colons, outermost first, e.g. \"WeekendInfo:TrackName:\"; a key\n"
    "may be followed by {VALUE} to pick a list item, e.g.\n"
    "\"DriverInfo:Drivers:CarIdx:{0}UserName:\". Exit status 1 when not found.\n";

const char* const kCsvHelp =
    "usage: ibt csv FILE COLUMN...\n"
    "Prints a header row of the COLUMNs as given, then one row per record.\n"
    "COLUMN is NAME, NAME:ENTRY, NAME@TYPE or NAME:ENTRY@TYPE, with TYPE one of\n"
    "int, float, double, bool; by default type codes 0-3 read as int, 4 as\n"
    "float, 5 as double. Floats print with 9 significant digits, doubles with\n"
    "17, bools as 0 or 1.\n";

const char* const kSynthHelp =
    "usage: ibt synth OUT [--laps N] [--seed S]\n"
    "Writes a demo session to OUT: a car standing a few seconds in the pits,\n"
    "an out lap, then N timed laps (default 6) of a 1.4 km track at 60\n"
    "samples a second. The same N and S (default 1) give the same file.\n";

// Positional arguments of a command that takes no options; false (with a
// message printed) when an option is given.
bool positionals(const char* command, int argc, char** argv, std::vector<std::string>& out)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            ibtError(command, std::string("unknown option ") + argv[i]);
            return false;
        }
        out.push_back(argv[i]);
    }
    return true;
}

int cmdInfo(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kInfoHelp);
    std::vector<std::string> args;
    if (!positionals("info", argc, argv, args))
        return 2;
    if (args.size() != 1)
        return ibtError("info", "expected FILE (see ibt info --help)");
    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, args[0], nullptr))
        return 2;
    const irsdk_TelemetryHeader& h = reader.getHeader();
    const long long size = reader.getFileSize();
    const long long recordBytes = size - h.bufferSlots[0].recordOffset;
    const long long records = h.recordLength > 0 && recordBytes > 0 ? recordBytes / h.recordLength : 0;
    std::printf("records: %lld\n", records);
    std::printf("variables: %d\n", h.varCount);
    std::printf("record length: %d\n", h.recordLength);
    std::printf("session text length: %d\n", h.sessionTextLength);
    if (h.recordLength > 0 && recordBytes > 0 && recordBytes % h.recordLength != 0)
        std::printf("partial record bytes: %lld\n", recordBytes % h.recordLength);
    return 0;
}

int cmdVars(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kVarsHelp);
    std::vector<std::string> args;
    if (!positionals("vars", argc, argv, args))
        return 2;
    if (args.size() != 1)
        return ibtError("vars", "expected FILE (see ibt vars --help)");
    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, args[0], nullptr))
        return 2;
    for (int i = 0; i < reader.getHeader().varCount; ++i) {
        const irsdk_VarDescriptor* d = reader.getVarDescriptor(i);
        std::printf("%d %.*s %d %d %d\n", i, IRSDK_MAX_STRING, d->name, d->typeCode, d->elementCount, d->dataOffset);
    }
    return 0;
}

int cmdSession(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kSessionHelp);
    std::vector<std::string> args;
    if (!positionals("session", argc, argv, args))
        return 2;
    if (args.size() != 2)
        return ibtError("session", "expected FILE PATH (see ibt session --help)");
    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, args[0], nullptr))
        return 2;
    // No value is longer than the text that holds it, up to its terminator
    // (a region that claims more than the text it holds costs nothing more).
    const size_t textLength = std::strlen(reader.getSessionText());
    const int limit = textLength > 0 ? static_cast<int>(textLength) : 1;
    std::vector<char> value(static_cast<size_t>(limit) + 1);
    if (reader.getSessionStrVal(args[1].c_str(), value.data(), limit) == 0) {
        std::fprintf(stderr, "ibt: session: %s not found in %s\n", args[1].c_str(), args[0].c_str());
        return 1;
    }
    std::printf("%s\n", value.data());
    return 0;
}

int cmdCsv(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kCsvHelp);
    std::vector<std::string> args;
    if (!positionals("csv", argc, argv, args))
        return 2;
    if (args.size() < 2)
        return ibtError("csv", "expected FILE COLUMN... (see ibt csv --help)");
    std::vector<IbtColumn> columns(args.size() - 1);
    std::string error;
    for (size_t i = 1; i < args.size(); ++i)
        if (!ibtParseColumn(args[i], columns[i - 1], error))
            return ibtError("csv", error);
    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, args[0], nullptr))
        return 2;
    if (!ibtResolveColumns(reader, columns, error))
        return ibtError("csv", error + " in " + args[0]);

    std::string out = ibtHeaderRow(columns);
    while (reader.getNextData()) {
        ibtAppendRow(out, reader, columns);
        if (out.size() > (1u << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

int cmdSynth(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kSynthHelp);
    std::string out;
    long long laps = 6;
    long long seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--laps") {
            if (!ibtParseWhole(i + 1 < argc ? argv[i + 1] : nullptr, 1, 10000, laps))
                return ibtError("synth", "--laps needs a whole number from 1 to 10000");
            ++i;
        } else if (arg == "--seed") {
            if (!ibtParseWhole(i + 1 < argc ? argv[i + 1] : nullptr, 0, UINT_MAX, seed))
                return ibtError("synth", "--seed needs a whole number from 0 to " + std::to_string(UINT_MAX));
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return ibtError("synth", "unknown option " + arg);
        } else if (out.empty()) {
            out = arg;
        } else {
            return ibtError("synth", "more than one OUT given");
        }
    }
    if (out.empty())
        return ibtError("synth", "expected OUT (see ibt synth --help)");
    errno = 0;
    if (!writeDemoSession(out, static_cast<int>(laps), static_cast<unsigned>(seed)))
        return ibtError("synth", "cannot write " + out + (errno ? std::string(": ") + std::strerror(errno) : std::string()));
    std::printf("wrote %s: demo session, %lld timed laps, seed %lld\n", out.c_str(), laps, seed);
    return 0;
}

// Dispatches to a command; each gets its name as argv[0].
int runCommand(int argc, char** argv)
{
    if (argc < 2)
        return ibtError(nullptr, "no command given (see ibt --help)");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const int subArgc = argc - 1;
    char** subArgv = argv + 1;
    if (command == "info")
        return cmdInfo(subArgc, subArgv);
    if (command == "vars")
        return cmdVars(subArgc, subArgv);
    if (command == "session")
        return cmdSession(subArgc, subArgv);
    if (command == "csv")
        return cmdCsv(subArgc, subArgv);
    if (command == "synth")
        return cmdSynth(subArgc, subArgv);
    if (command == "laps")
        return ibtLaps(subArgc, subArgv);
    if (command == "delta")
        return ibtDelta(subArgc, subArgv);
    if (command == "compare")
        return ibtCompare(subArgc, subArgv);
    if (command == "reference")
        return ibtReference(subArgc, subArgv);
    if (command == "publish")
        return ibtPublish(subArgc, subArgv);
    if (command == "watch")
        return ibtWatch(subArgc, subArgv);
    if (command == "share")
        return ibtShare(subArgc, subArgv);
    return ibtError(nullptr, "unknown command " + command + " (see ibt --help)");
}

} // namespace

// Runs the command; output that could not be written whole (a full disk, a
// closed pipe) fails a command that would otherwise succeed, with one line.
int main(int argc, char** argv)
{
    const int status = runCommand(argc, argv);
    errno = 0;
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    const int flushErrno = errno;
    const bool closeFailed = std::fclose(stdout) != 0;
    if (status != 0 || !(failed || closeFailed))
        return status;
    const int why = flushErrno != 0 ? flushErrno : errno;
    const std::string reason = why != 0 ? std::string(": ") + std::strerror(why) : std::string();
    return ibtError(nullptr, "cannot write the output" + reason);
}
