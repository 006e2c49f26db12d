#include "LapTiming.h"

#include <algorithm>
#include <cmath>

namespace {

// How near the ends of the lap a wrap of the fraction must lie to be the line.
const float kNearEnd = 0.9f;
const float kNearStart = 0.1f;
// How far into the next lap the simulator's lap time is read, as the strip
// reads it at its lap boundary.
const float kReportedAfter = 0.03f;

} // namespace

bool crossesLine(float pctBefore, float pctAfter)
{
    return pctBefore > kNearEnd && pctAfter < kNearStart;
}

double lineCrossingTime(double timeBefore, float pctBefore, double timeAfter, float pctAfter)
{
    const double toLine = 1.0 - static_cast<double>(pctBefore);
    const double span = toLine + static_cast<double>(pctAfter);
    if (!(span > 0.0))
        return timeAfter;
    return timeBefore + (timeAfter - timeBefore) * (toLine / span);
}

void LapCursor::seek(const std::vector<LapPoint>& table, float pct)
{
    if (next > table.size())
        next = table.size();
    while (next > 0 && table[next - 1].pct >= pct)
        --next;
    while (next < table.size() && table[next].pct < pct)
        ++next;
}

// Between the point before the cursor (or the line at 0) and the point at it
// (or the line at 1); a point's own fraction gives its own time exactly, and
// times between are kept within the two, so that rounding never puts a time
// behind the one before it.
float LapCursor::timeAt(const std::vector<LapPoint>& table, float lineTime, float pct)
{
    pct = std::isnan(pct) ? 0.0f : std::clamp(pct, 0.0f, 1.0f);
    seek(table, pct);
    const float loPct = next == 0 ? 0.0f : table[next - 1].pct;
    const float loTime = next == 0 ? 0.0f : table[next - 1].time;
    const float hiPct = next == table.size() ? 1.0f : table[next].pct;
    const float hiTime = next == table.size() ? lineTime : table[next].time;
    if (!(hiPct > loPct) || pct == hiPct)
        return hiTime;
    const float t = loTime + (pct - loPct) / (hiPct - loPct) * (hiTime - loTime);
    return loTime <= hiTime ? std::clamp(t, loTime, hiTime) : t;
}

float LapCursor::speedAt(const std::vector<LapPoint>& table, float pct)
{
    if (table.empty())
        return 0.0f;
    pct = std::isnan(pct) ? 0.0f : std::clamp(pct, 0.0f, 1.0f);
    seek(table, pct);
    if (next == 0)
        return table.front().speed;
    if (next == table.size())
        return table.back().speed;
    const LapPoint& lo = table[next - 1];
    const LapPoint& hi = table[next];
    return lo.speed + (pct - lo.pct) / (hi.pct - lo.pct) * (hi.speed - lo.speed);
}

void fillTiming(std::vector<LapPoint>& points, const std::vector<LapPoint>& timing, float lineTime)
{
    LapCursor cursor;
    for (LapPoint& p : points) {
        p.time = cursor.timeAt(timing, lineTime, p.pct);
        p.speed = cursor.speedAt(timing, p.pct);
    }
}

bool LapClock::take(double time, float pct, float speed)
{
    if (!std::isfinite(time) || !std::isfinite(pct))
        return false;
    bool crossed = false;
    if (havePrevious && time < prevTime) {
        lapRunning = false;
    } else if (havePrevious && crossesLine(prevPct, pct)) {
        const double at = lineCrossingTime(prevTime, prevPct, time, pct);
        if (lapRunning) {
            finished.swap(current);
            finishedTime = static_cast<float>(at - start);
            finishedEnd = count + 1;
        }
        current.clear();
        start = at;
        lapRunning = true;
        ++count;
        crossed = true;
    } else if (havePrevious && crossesLine(pct, prevPct)) {
        // Backwards over the line: whatever comes until the next crossing is no lap.
        lapRunning = false;
    }
    if (lapRunning && pct > 0.0f && pct < 1.0f && (current.empty() || pct > current.back().pct)) {
        LapPoint p;
        p.pct = pct;
        p.time = static_cast<float>(time - start);
        p.speed = speed;
        current.push_back(p);
    }
    havePrevious = true;
    prevTime = time;
    prevPct = pct;
    return crossed;
}

void LapClock::restart()
{
    havePrevious = false;
    lapRunning = false;
}

std::vector<CompletedLap> completedLaps(const std::vector<LapSample>& samples)
{
    std::vector<CompletedLap> laps;
    LapClock clock;
    size_t lapStart = 0;
    // The samples behind the points of the lap being driven.
    std::vector<size_t> taken;
    // Laps that still wait for the simulator's time, read after their line.
    size_t awaiting = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const LapSample& s = samples[i];
        const size_t before = clock.currentPoints();
        const bool crossed = clock.take(s.time, s.pct, s.speed);
        for (; awaiting < laps.size() && i >= laps[awaiting].end && s.pct > kReportedAfter && s.pct < kNearEnd;
             ++awaiting)
            if (s.lap > laps[awaiting].number && s.lastLapTime > 0.0f)
                laps[awaiting].reportedTime = s.lastLapTime;
        if (!crossed) {
            if (clock.currentPoints() > before)
                taken.push_back(i);
            continue;
        }
        if (clock.lastLapEnd() == clock.crossings() && i > 0) {
            CompletedLap lap;
            lap.number = samples[i - 1].lap;
            lap.lineTime = clock.lastLapTime();
            lap.first = lapStart;
            lap.end = i;
            lap.timing = clock.lastLap();
            lap.samples = taken;
            laps.push_back(std::move(lap));
        }
        taken.clear();
        if (clock.currentPoints() > 0)
            taken.push_back(i);
        lapStart = i;
    }
    return laps;
}
