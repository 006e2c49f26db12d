// Watches a telemetry source pass by pass for the two things an overlay's
// picture must not hide: a new session, whose samples must never be joined to
// the last session's, and a source that stopped sending, whose picture is no
// longer live. It reads only what every source offers: the connection, whether
// a pass brought a new record, the session clock and ids, and the session text.
#pragma once

#include <chrono>
#include <string>

#include "IRData.h"

class SessionWatch {
public:
    using Clock = std::chrono::steady_clock;

    // How long a source that can go stale may send nothing new before its
    // picture counts as stale: short enough that the overlays say so within
    // two seconds of the last record, long enough for a frame the simulator
    // drops now and then.
    static constexpr std::chrono::milliseconds kStaleAfter{1500};

    struct Verdict {
        // The record this pass brought begins another session: every history
        // starts afresh before it is stored.
        bool newSession = false;
        // The line to show over the dimmed picture while the source sends
        // nothing new; null while it is live (and always for a replay).
        const char* stale = nullptr;
    };

    // Called once per pass, after the source's updateData; newRecord is what
    // that returned, now the time of the pass.
    //
    // A record begins another session when its SessionUniqueId or SessionNum
    // differs from the last record's, when its session time is earlier, or
    // when the session text names another session (its ids or its track),
    // which is read again whenever the text's counter moves and after every
    // loss of the connection. A record that comes after the connection was
    // lost and goes on with the same session (same ids, the time going on) is
    // the same session: its picture comes back as it was.
    //
    // The picture is stale once records have come and then the connection is
    // lost or no new record came for kStaleAfter, as the source says it can
    // be (IRData::whyStale).
    Verdict observe(IRData& source, bool newRecord, Clock::time_point now);

private:
    // The session text's ids and track in one string; empty without a text.
    void readIdentity(IRData& source, std::string* identity);

    bool seenRecord = false;
    bool lostSinceRecord = false;
    double lastTime = 0.0;
    int lastUniqueId = 0;
    int lastSessionNum = 0;
    int lastInfoUpdate = 0;
    std::string identity;
    std::string readBack;
    Clock::time_point lastRecordAt{};
};
