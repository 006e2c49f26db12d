#include "SessionWatch.h"

namespace {

// What names a session in the session text: the ids a hosted session carries
// and the track, which tells offline sessions apart.
const char* const kIdentityPaths[] = {"WeekendInfo:SessionID:", "WeekendInfo:SubSessionID:", "WeekendInfo:TrackName:"};

} // namespace

void SessionWatch::readIdentity(IRData& source, std::string* out)
{
    out->clear();
    for (const char* path : kIdentityPaths) {
        char value[128];
        if (source.getSessionVar(path, value, sizeof value) == 1)
            out->append(value);
        out->push_back('\n');
    }
    if (out->find_first_not_of('\n') == std::string::npos)
        out->clear();
}

SessionWatch::Verdict SessionWatch::observe(IRData& source, bool newRecord, Clock::time_point now)
{
    Verdict verdict;
    const bool connected = source.isConnected();
    if (!connected && seenRecord)
        lostSinceRecord = true;

    if (newRecord) {
        const double time = source.getVarDouble("SessionTime", 0);
        const int uniqueId = source.getVarInt("SessionUniqueId", 0);
        const int sessionNum = source.getVarInt("SessionNum", 0);
        const int infoUpdate = source.sessionInfoUpdate();
        if (!seenRecord) {
            readIdentity(source, &identity);
        } else {
            bool another = uniqueId != lastUniqueId || sessionNum != lastSessionNum || time < lastTime;
            // The text is only read when it may have changed: each reading
            // copies and searches the whole text.
            if (infoUpdate != lastInfoUpdate || lostSinceRecord) {
                readIdentity(source, &readBack);
                another = another || (!readBack.empty() && !identity.empty() && readBack != identity);
                if (!readBack.empty())
                    identity.swap(readBack);
            }
            verdict.newSession = another;
        }
        seenRecord = true;
        lostSinceRecord = false;
        lastTime = time;
        lastUniqueId = uniqueId;
        lastSessionNum = sessionNum;
        lastInfoUpdate = infoUpdate;
        lastRecordAt = now;
    }

    if (seenRecord && (!connected || now - lastRecordAt >= kStaleAfter))
        verdict.stale = source.whyStale();
    return verdict;
}
