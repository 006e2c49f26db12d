#include "ibt_reference.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "ReferenceLaps.h"
#include "ibt_args.h"
#include "ibt_laps.h"
#include "irsdk_diskclient.h"

namespace {

const char* const kHelp =
    "usage: ibt reference import FILE [--force]\n"
    "       ibt reference list\n"
    "       ibt reference remove TRACK CAR\n"
    "The overlay keeps the best lap of its live runs per track and car, and starts\n"
    "from it on the next run.\n"
    "  import   stores the fastest completed lap of the recording FILE for its\n"
    "           track and car, when it is faster than the stored lap (or always,\n"
    "           with --force), or as fast and with its timing where the stored lap\n"
    "           has none. A completed lap runs from one lap boundary to the next;\n"
    "           its time is the last-lap time the recording reports at the\n"
    "           boundary that ends it. When it was also driven from start line to\n"
    "           start line it keeps its timing, which the delta overlay needs.\n"
    "  list     one line per stored lap: track, car, lap time, date stored\n"
    "           (separated by tabs)\n"
    "  remove   deletes the lap stored for TRACK and CAR\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "ibt: reference: %s\n", message.c_str());
    return 2;
}

std::string lapFolder()
{
    std::string error;
    const std::string folder = LapStore::defaultFolder(&error);
    if (folder.empty())
        fail(error);
    return folder;
}

int import(const std::vector<std::string>& args)
{
    std::string path;
    bool force = false;
    for (const std::string& a : args) {
        if (a == "--force")
            force = true;
        else if (a[0] == '-' && a.size() > 1)
            return fail("import: unknown option " + a);
        else if (path.empty())
            path = a;
        else
            return fail("import: expected one FILE (see ibt reference --help)");
    }
    if (path.empty())
        return fail("import: expected FILE (see ibt reference --help)");

    irsdkDiskClient reader;
    if (!ibtOpenRecording(reader, path, "reference"))
        return 2;

    StoredLap lap;
    lap.key = lapKeyFromSession([&reader](const char* p, char* val, int len) {
        return reader.getSessionStrVal(p, val, len);
    });
    if (!lap.key.known())
        return fail(path + " names no track and car in its session info");
    if (!fastestCompletedLap(ibtLapSamples(reader), &lap))
        return fail(path + " has no completed lap with a lap time");
    lap.storedAt = static_cast<int64_t>(std::time(nullptr));

    const std::string folder = lapFolder();
    if (folder.empty())
        return 2;
    std::string error;
    switch (LapStore(folder).save(lap, force, &error)) {
    case LapStore::SaveStatus::Stored:
        std::printf("stored %s, %s: %s\n", lap.key.track.c_str(), lap.key.car.c_str(),
                    formatLapTime(lap.lapTime).c_str());
        return 0;
    case LapStore::SaveStatus::NotFaster:
        std::printf("kept the stored lap of %s, %s: %s is not faster (--force replaces it)\n",
                    lap.key.track.c_str(), lap.key.car.c_str(), formatLapTime(lap.lapTime).c_str());
        return 0;
    case LapStore::SaveStatus::Failed:
        break;
    }
    return fail(error);
}

int list(const std::vector<std::string>& args)
{
    if (!args.empty())
        return fail("list: takes no arguments (see ibt reference --help)");
    const std::string folder = lapFolder();
    if (folder.empty())
        return 2;
    std::vector<std::string> problems;
    for (const StoredLap& lap : LapStore(folder).list(&problems)) {
        char date[32] = "?";
        const std::time_t t = static_cast<std::time_t>(lap.storedAt);
        if (const std::tm* local = std::localtime(&t))
            std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", local);
        std::printf("%s\t%s\t%s\t%s\n", lap.key.track.c_str(), lap.key.car.c_str(), formatLapTime(lap.lapTime).c_str(),
                    date);
    }
    for (const std::string& p : problems)
        std::fprintf(stderr, "ibt: reference: %s; ignored\n", p.c_str());
    return 0;
}

int remove(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return fail("remove: expected TRACK CAR (see ibt reference --help)");
    const std::string folder = lapFolder();
    if (folder.empty())
        return 2;
    std::string error;
    if (!LapStore(folder).remove({args[0], args[1]}, &error))
        return fail(error);
    return 0;
}

} // namespace

int ibtReference(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
    }
    if (argc < 2)
        return fail("expected import, list or remove (see ibt reference --help)");
    const std::string action = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (action == "import")
        return import(args);
    if (action == "list")
        return list(args);
    if (action == "remove")
        return remove(args);
    return fail("unknown action " + action + " (see ibt reference --help)");
}
