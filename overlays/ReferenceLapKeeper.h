// Keeps the best lap of the overlays' reference across runs, in live mode:
// finds the track and car in the session info, hands the reference the lap
// stored for them once, and stores each lap that becomes the reference when it
// beats the stored one. Problems with stored files go to standard error, one line
// each, and never stop the overlay.
#pragma once

#include <string>
#include <vector>

#include "IRData.h"
#include "ReferenceLaps.h"

class ReferenceLapKeeper {
public:
    // program names the messages; folder is where the laps are kept.
    ReferenceLapKeeper(std::string program, std::string folder);

    // Called once per pass. Works out the key from the session info now and
    // then; the first time a key is known and a lap is stored for it, returns
    // that lap (once). Null otherwise.
    const StoredLap* poll(IRData& source);

    // A lap that has just become the reference, with its timing when it has
    // one: stored for the key when it is faster than the stored lap. Without a
    // key it is not kept, nor when the session now names another track or car.
    void keep(IRData& source, float lapTime, const std::vector<LapPoint>& points, bool timed, float lineTime);

    const LapKey& key() const { return current; }

    // The track and car the source's session text names (unknown without one).
    static LapKey keyOf(IRData& source);

private:
    // Reads the key again; false, with one line, and nothing kept from then
    // on, when the session has changed to another track or car.
    bool sameSession(IRData& source);

    std::string program;
    LapStore store;
    LapKey current;
    bool stopped = false;   // the session changed track or car: keep nothing more
    long passes = 0;
    StoredLap loaded;
};
