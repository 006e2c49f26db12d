#include "ReferenceLapKeeper.h"

#include <cstdio>
#include <ctime>


namespace {

// How often the session info is read for the key: every pass until it is
// known, then about every five seconds to notice a change of track or car.
const long kRecheckPasses = 300;

} // namespace

ReferenceLapKeeper::ReferenceLapKeeper(std::string programName, std::string folder)
    : program(std::move(programName))
    , store(std::move(folder))
{
}

LapKey ReferenceLapKeeper::keyOf(IRData& source)
{
    return lapKeyFromSession(
        [&source](const char* path, char* val, int valLen) { return source.getSessionVar(path, val, valLen); });
}

bool ReferenceLapKeeper::sameSession(IRData& source)
{
    if (!source.isConnected())
        return true;
    const LapKey key = keyOf(source);
    if (!key.known() || key == current)
        return true;
    std::fprintf(stderr, "%s: the session changed to %s, %s; laps of this run are no longer kept\n",
                 program.c_str(), key.track.c_str(), key.car.c_str());
    stopped = true;
    return false;
}

const StoredLap* ReferenceLapKeeper::poll(IRData& source)
{
    if (stopped)
        return nullptr;
    if (current.known()) {
        if (++passes % kRecheckPasses == 0)
            sameSession(source);
        return nullptr;
    }
    if (!source.isConnected())
        return nullptr;
    const LapKey key = keyOf(source);
    if (!key.known())
        return nullptr;
    current = key;
    std::string error;
    switch (store.load(current, &loaded, &error)) {
    case LapStore::LoadStatus::Ok:
        return &loaded;
    case LapStore::LoadStatus::Bad:
        std::fprintf(stderr, "%s: stored reference lap ignored: %s\n", program.c_str(), error.c_str());
        break;
    case LapStore::LoadStatus::Missing:
        break;
    }
    return nullptr;
}

void ReferenceLapKeeper::keep(IRData& source, float lapTime, const std::vector<LapPoint>& points, bool timed,
                              float lineTime)
{
    // The key is read again here: the lap may have ended after a change of
    // track or car that the occasional check in poll has not seen yet.
    if (stopped || !current.known() || points.empty() || !sameSession(source))
        return;
    StoredLap lap;
    lap.key = current;
    lap.lapTime = lapTime;
    lap.storedAt = static_cast<int64_t>(std::time(nullptr));
    lap.timed = timed;
    lap.lineTime = lineTime;
    lap.points = points;
    std::string error;
    if (store.save(lap, false, &error) == LapStore::SaveStatus::Failed)
        std::fprintf(stderr, "%s: reference lap not kept: %s\n", program.c_str(), error.c_str());
}
