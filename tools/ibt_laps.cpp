#include "ibt_laps.h"

#include <climits>
#include <cstdio>
#include <string>

#include "ibt_args.h"
#include "irsdk_diskclient.h"

namespace {

const char* const kLapsHelp =
    "usage: ibt laps FILE\n"
    "Prints one line per lap of the recording driven from start line to start line:\n"
    "  lap N: T s, reported R s[, fastest]\n"
    "N is the lap counter over the lap. T is its time from the moment the car\n"
    "crossed the start line to the moment it crossed it again, each interpolated\n"
    "between the two samples around the line. R is the lap time the recording\n"
    "reports for it a little after the line (\"reported none\" when it reports\n"
    "none). The fastest lap is the one with the shortest T.\n";

const char* const kDeltaHelp =
    "usage: ibt delta FILE LAP REFLAP\n"
    "Prints CSV with the header pct,delta and 101 rows, pct from 0.00 to 1.00 in\n"
    "steps of 0.01: the time into lap LAP at that fraction of the lap minus the\n"
    "time into lap REFLAP there, in seconds (negative: LAP is ahead). Times into a\n"
    "lap are counted from the start line and interpolated between samples, as the\n"
    "delta overlay does; 'ibt laps FILE' lists the laps.\n";

} // namespace

std::vector<LapSample> ibtLapSamples(irsdkDiskClient& reader,
                                     const std::function<void(const irsdkDiskClient&)>& alsoRead)
{
    const int lap = reader.getVarIdx("Lap");
    const int pct = reader.getVarIdx("LapDistPct");
    const int throttle = reader.getVarIdx("Throttle");
    const int brake = reader.getVarIdx("Brake");
    const int last = reader.getVarIdx("LapLastLapTime");
    const int time = reader.getVarIdx("SessionTime");
    const int speed = reader.getVarIdx("Speed");
    std::vector<LapSample> samples;
    while (reader.getNextData()) {
        LapSample s;
        s.lap = reader.getVarInt(lap, 0);
        s.pct = reader.getVarFloat(pct, 0);
        s.throttle = reader.getVarFloat(throttle, 0);
        s.brake = reader.getVarFloat(brake, 0);
        s.lastLapTime = reader.getVarFloat(last, 0);
        s.time = reader.getVarDouble(time, 0);
        s.speed = reader.getVarFloat(speed, 0);
        samples.push_back(s);
        if (alsoRead)
            alsoRead(reader);
    }
    return samples;
}

bool ibtCompletedLaps(irsdkDiskClient& reader, const std::string& path, const char* command,
                      std::vector<CompletedLap>* laps, const std::function<void(const irsdkDiskClient&)>& alsoRead)
{
    for (const char* name : {"SessionTime", "LapDistPct"}) {
        if (reader.getVarIdx(name) < 0) {
            ibtError(command, path + " has no " + name + ", which lap timing needs");
            return false;
        }
    }
    *laps = completedLaps(ibtLapSamples(reader, alsoRead));
    if (laps->empty()) {
        ibtError(command, path + " has no lap driven from start line to start line");
        return false;
    }
    return true;
}

size_t ibtFastestLap(const std::vector<CompletedLap>& laps)
{
    size_t best = 0;
    for (size_t i = 1; i < laps.size(); ++i)
        if (laps[i].lineTime < laps[best].lineTime)
            best = i;
    return best;
}

const CompletedLap* ibtFindLap(const std::vector<CompletedLap>& laps, int number)
{
    for (const CompletedLap& lap : laps)
        if (lap.number == number)
            return &lap;
    return nullptr;
}

int ibtLaps(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kLapsHelp);
    if (argc != 2 || (argv[1][0] == '-' && argv[1][1] != '\0'))
        return ibtError("laps", "expected FILE (see ibt laps --help)");
    irsdkDiskClient reader;
    std::vector<CompletedLap> laps;
    if (!ibtOpenRecording(reader, argv[1], "laps") || !ibtCompletedLaps(reader, argv[1], "laps", &laps))
        return 2;
    const size_t fastest = ibtFastestLap(laps);
    for (size_t i = 0; i < laps.size(); ++i) {
        char reported[32] = "reported none";
        if (laps[i].reportedTime > 0.0f)
            std::snprintf(reported, sizeof reported, "reported %.3f s", static_cast<double>(laps[i].reportedTime));
        std::printf("lap %d: %.3f s, %s%s\n", laps[i].number, static_cast<double>(laps[i].lineTime), reported,
                    i == fastest ? ", fastest" : "");
    }
    return 0;
}

int ibtDelta(int argc, char** argv)
{
    if (ibtWantsHelp(argc, argv))
        return ibtHelp(kDeltaHelp);
    long long numbers[2] = {0, 0};
    if (argc != 4 || !ibtParseWhole(argv[2], 0, INT_MAX, numbers[0]) || !ibtParseWhole(argv[3], 0, INT_MAX, numbers[1]))
        return ibtError("delta", "expected FILE LAP REFLAP, the laps by their numbers (see ibt delta --help)");
    irsdkDiskClient reader;
    std::vector<CompletedLap> laps;
    if (!ibtOpenRecording(reader, argv[1], "delta") || !ibtCompletedLaps(reader, argv[1], "delta", &laps))
        return 2;
    const CompletedLap* lap[2];
    for (int i = 0; i < 2; ++i) {
        lap[i] = ibtFindLap(laps, static_cast<int>(numbers[i]));
        if (!lap[i])
            return ibtError("delta", "lap " + std::to_string(numbers[i]) + " is not a completed lap of " + argv[1] +
                                         " (see ibt laps " + argv[1] + ")");
    }
    LapCursor cursor[2];
    std::string out = "pct,delta\n";
    for (int step = 0; step <= 100; ++step) {
        const float pct = static_cast<float>(step) / 100.0f;
        const double delta = static_cast<double>(cursor[0].timeAt(lap[0]->timing, lap[0]->lineTime, pct)) -
                             cursor[1].timeAt(lap[1]->timing, lap[1]->lineTime, pct);
        char row[64];
        std::snprintf(row, sizeof row, "%.2f,%.4f\n", static_cast<double>(pct), delta);
        out += row;
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}
