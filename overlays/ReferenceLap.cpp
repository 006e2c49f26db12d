#include "ReferenceLap.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Room for a lap of several minutes at 60 samples a second before a table grows.
const size_t kTablePoints = 16384;

// Keeps the first pedals at each position: a position already in the table
// keeps what it holds. Positions mostly come in rising order, so the end is
// tried first.
void record(std::vector<LapPoint>& table, float pct, float throttle, float brake)
{
    LapPoint p;
    p.pct = pct;
    p.throttle = throttle;
    p.brake = brake;
    if (table.empty() || pct > table.back().pct) {
        table.push_back(p);
        return;
    }
    const auto at = std::lower_bound(table.begin(), table.end(), pct,
                                     [](const LapPoint& q, float v) { return q.pct < v; });
    if (at->pct != pct)
        table.insert(at, p);
}

// Walks the cursor forward to the first position at or after pct and takes
// the pedals stored there; past the last position it leaves them as they are.
void follow(const std::vector<LapPoint>& reference, size_t& cursor, float pct, float& throttle, float& brake)
{
    while (cursor < reference.size()) {
        if (pct > reference[cursor].pct) {
            ++cursor;
        } else {
            throttle = reference[cursor].throttle;
            brake = reference[cursor].brake;
            return;
        }
    }
}

} // namespace

ReferenceLap::ReferenceLap()
{
    recording[0].reserve(kTablePoints);
    recording[1].reserve(kTablePoints);
}

const std::vector<LapPoint>* ReferenceLap::timedReference() const
{
    const int r = referenceIndex();
    if ((activeRecord == 0 && !storedReference) || !timed[r] || recording[r].empty())
        return nullptr;
    return &recording[r];
}

float ReferenceLap::referenceLineTime() const
{
    return lineTime[referenceIndex()];
}

void ReferenceLap::startAfresh(IRData& source)
{
    if (freshStart && source.sampleNumber() == freshStartSample)
        return;
    freshStart = true;
    freshStartSample = source.sampleNumber();
    sessionTextSeen = source.sessionInfoUpdate();
    checkTrackAndCar(source);
    if (activeRecord == 2) {
        recording[0].swap(recording[1]);
        std::swap(timed[0], timed[1]);
        std::swap(lineTime[0], lineTime[1]);
    }
    if (activeRecord != 0) {
        recording[0].clear();
        timed[0] = false;
        storedReference = !recording[1].empty();
        activeRecord = 0;
    }
    stripCursor = 0;
    lapSeen = false;
    lapClock.restart();
}

void ReferenceLap::checkTrackAndCar(IRData& source)
{
    const LapKey key = ReferenceLapKeeper::keyOf(source);
    if (!key.known())
        return;
    sessionKey = key;
    if (!referenceKey.known() || referenceKey == key)
        return;
    for (int i = 0; i < 2; ++i) {
        recording[i].clear();
        timed[i] = false;
        lineTime[i] = 0.0f;
    }
    activeRecord = 0;
    storedReference = false;
    stripCursor = 0;
    lastBestLapTime = 9999.0f;
    referenceKey = LapKey();
    ++changes;
}

void ReferenceLap::adopt(const StoredLap& stored)
{
    referenceKey = stored.key;
    recording[1] = stored.points;
    timed[1] = stored.timed;
    lineTime[1] = stored.lineTime;
    stripCursor = 0;
    lastBestLapTime = stored.lapTime;
    storedReference = true;
    ++changes;
}

// One sample: the time and pedals, the line, the lap kept from earlier runs
// when it first comes, the recording, the strip's values, then a lap
// boundary. The order decides what the strip shows on a boundary pass and
// which samples each lap keeps.
void ReferenceLap::update(IRData& source)
{
    if (taken && source.sampleNumber() == lastSample)
        return;
    taken = true;
    lastSample = source.sampleNumber();
    // The session text is read only when it changes, never once a frame.
    if (source.sessionInfoUpdate() != sessionTextSeen) {
        sessionTextSeen = source.sessionInfoUpdate();
        checkTrackAndCar(source);
    }

    now.time = source.getVarDouble("SessionTime", 0);
    now.throttle = source.getVarFloat("Throttle", 0);
    now.brake = source.getVarFloat("Brake", 0);
    now.pct = source.getVarFloat("LapDistPct", 0);
    now.speed = source.getVarFloat("Speed", 0);
    lapClock.take(now.time, now.pct, now.speed);
    // A lap position that is not a number has no place in a lap's table.
    const bool placed = std::isfinite(now.pct);

    if (keeper) {
        const StoredLap* stored = keeper->poll(source);
        if (stored && activeRecord == 0 && !stored->points.empty())
            adopt(*stored);
    }

    float thr = now.throttle;
    float brk = now.brake;
    if (activeRecord == 0) {
        if (storedReference) {
            follow(recording[1], stripCursor, now.pct, thr, brk);
        } else {
            thr = thr > 0.99f ? 1.0f : 0.0f;
            brk = brk > 0.01f ? 1.0f : 0.0f;
        }
    } else {
        if (placed)
            record(recording[activeRecord - 1], now.pct, thr, brk);
        follow(recording[referenceIndex()], stripCursor, now.pct, thr, brk);
    }
    lineThr = thr;
    lineBrk = brk;

    const int lap = source.getVarInt("Lap", 0);
    if (!lapSeen) {
        lastLap = lap;
        lapSeen = true;
    }
    if (now.pct > 0.03f && lap > lastLap)
        boundary(source, lap);
}

// The lap just finished becomes the reference when it is the best so far (a
// tie counts), and keeps its timing when the line was crossed exactly once
// while it was recorded; otherwise it is dropped. Either way a new recording
// starts with the next sample.
void ReferenceLap::boundary(IRData& source, int lap)
{
    lastLap = lap;
    // A lap time that cannot be one (none, zero, a millionth of a second, a
    // year) makes no lap the best.
    float t = source.getVarFloat("LapLastLapTime", 0);
    if (!plausibleLapTime(t))
        t = 9999.9f;
    if (activeRecord != 0) {
        const int done = activeRecord - 1;
        const int other = 1 - done;
        if (lastBestLapTime >= t) {
            lastBestLapTime = t;
            timed[done] = lapClock.crossings() == crossingsAtStart + 1 &&
                          lapClock.lastLapEnd() == lapClock.crossings() && plausibleLapTime(lapClock.lastLapTime());
            lineTime[done] = timed[done] ? lapClock.lastLapTime() : 0.0f;
            if (timed[done])
                fillTiming(recording[done], lapClock.lastLap(), lineTime[done]);
            activeRecord = other + 1;
            recording[other].clear();
            timed[other] = false;
            referenceKey = sessionKey;
            ++changes;
            if (keeper)
                keeper->keep(source, t, recording[done], timed[done], lineTime[done]);
        } else {
            recording[done].clear();
            timed[done] = false;
        }
        stripCursor = 0;
    } else {
        if (lastBestLapTime >= t)
            lastBestLapTime = t;
        // Recording starts in the first table; a kept lap stays the reference
        // in the second, its cursor back at its start.
        activeRecord = 1;
        recording[0].clear();
        timed[0] = false;
        if (!storedReference) {
            recording[1].clear();
            timed[1] = false;
        }
        stripCursor = 0;
    }
    crossingsAtStart = lapClock.crossings();
}
