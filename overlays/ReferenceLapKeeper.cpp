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

const StoredLap* ReferenceLapKeeper::poll(IRData& source)
{
    if (stopped)
        return nullptr;
    const bool known = current.known();
    if (known && ++passes % kRecheckPasses != 0)
        return nullptr;
    if (!source.isConnected())
        return nullptr;
    const LapKey key = lapKeyFromSession(
        [&source](const char* path, char* val, int valLen) { return source.getSessionVar(path, val, valLen); });
    if (!key.known())
        return nullptr;
    if (known) {
        if (key != current) {
            std::fprintf(stderr, "%s: the session changed to %s, %s; laps of this run are no longer kept\n",
                         program.c_str(), key.track.c_str(), key.car.c_str());
            stopped = true;
        }
        return nullptr;
    }
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

void ReferenceLapKeeper::keep(float lapTime, const LapTrace& throttle, const LapTrace& brake)
{
    if (stopped || !current.known() || throttle.empty())
        return;
    StoredLap lap;
    lap.key = current;
    lap.lapTime = lapTime;
    lap.storedAt = static_cast<int64_t>(std::time(nullptr));
    // Both traces get a value at every position the car passed, so their keys agree.
    lap.points.reserve(throttle.size());
    auto b = brake.begin();
    for (const auto& t : throttle) {
        while (b != brake.end() && b->first < t.first)
            ++b;
        const float brk = b != brake.end() && b->first == t.first ? b->second : 0.0f;
        lap.points.push_back({t.first, t.second, brk});
    }
    std::string error;
    if (store.save(lap, false, &error) == LapStore::SaveStatus::Failed)
        std::fprintf(stderr, "%s: reference lap not kept: %s\n", program.c_str(), error.c_str());
}
