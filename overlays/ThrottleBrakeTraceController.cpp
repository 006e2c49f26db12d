#include "ThrottleBrakeTraceController.h"

#include <cmath>
#include <map>
#include <utility>

ThrottleBrakeTraceController::ThrottleBrakeTraceController(std::shared_ptr<IRData> source,
                                                           unsigned int historySeconds, Qvis::WindowStyle style)
    : irData(std::move(source))
{
    model = std::make_shared<ThrottleBrakeTraceModel>(historySamples(historySeconds, irData->getTimeout()));
    view = std::make_shared<ThrottleBrakeTraceView>(model->CommonModel<float>::getVarHistoryPts(), historySeconds,
                                                    std::move(style));
}

ThrottleBrakeTraceController::~ThrottleBrakeTraceController()
{
    view.reset();
    model.reset();
    irData.reset();
}

void ThrottleBrakeTraceController::drawWindow()
{
    view->setMessage(sampled ? nullptr : irData->whyNoTelemetry());
    view->drawView(model->CommonModel<float>::getCurrStartIndex());
}

GLFWwindow* ThrottleBrakeTraceController::getWindow()
{
    return view->getWindow();
}

void ThrottleBrakeTraceController::showWindow()
{
    view->showWindow();
}

void ThrottleBrakeTraceController::hideWindow()
{
    view->hideWindow();
}

void ThrottleBrakeTraceController::getWindowPosition(int* x, int* y)
{
    view->getPosition(x, y);
}

void ThrottleBrakeTraceController::setLocked(bool locked)
{
    view->setLocked(locked);
}

void ThrottleBrakeTraceController::startAfresh()
{
    model->reset();
    sampled = false;
    sessionBegins = true;
}

void ThrottleBrakeTraceController::setStale(const char* text)
{
    view->setNotice(text);
}

namespace {

using LapTrace = std::map<float, float>;

// Walks a reference cursor forward to the first recorded fraction at or after
// pct and returns the value stored there; past the last key it leaves value as is.
void followReference(LapTrace::iterator& cursor, const LapTrace& reference, float pct, float& value)
{
    while (cursor != reference.end()) {
        if (pct > cursor->first) {
            ++cursor;
        } else {
            value = cursor->second;
            return;
        }
    }
}

} // namespace

// One pass: store time and pedals, then the reference lap's pedals at the car's
// lap position, then handle a lap boundary. The order of these steps decides
// what the zone slots show on a boundary pass and which samples each lap keeps.
void ThrottleBrakeTraceController::updateData()
{
    CommonModel<float>& m = *model;
    sampled = true;

    m.setVar(SESSION_TIME, irData->getVarFloat(sessionTimeStr, 0));
    float thr = irData->getVarFloat(throttleStr, 0);
    m.setVar(THROTTLE, thr);
    float brk = irData->getVarFloat(brakeStr, 0);
    m.setVar(BRAKE, brk);
    const float pct = irData->getVarFloat(lapDistPctStr, 0);
    // A lap position that is not a number has no place in a lap's table.
    const bool placed = std::isfinite(pct);

    // The reference-lap state is shared by every controller of the process.
    // activeRecord: 0 before the first lap boundary, 1 while recording into the
    // first pair of maps (the second is the reference), 2 the other way round.
    static int activeRecord = 0;
    static LapTrace lapThrottleHistory1;
    static LapTrace lapBrakeHistory1;
    static LapTrace lapThrottleHistory2;
    static LapTrace lapBrakeHistory2;
    static LapTrace::iterator itThr = lapThrottleHistory1.end();
    static LapTrace::iterator itBrk = lapBrakeHistory1.end();
    static float lastBestLapTime = 9999.0f;
    // A lap kept from an earlier run, held in the second pair of maps: the
    // reference before the first lap boundary, and the lap to beat after it.
    static bool storedReference = false;

    // A new session: the lap being recorded belonged to the last one and is
    // dropped. The reference lap stays, since it belongs to the track and
    // car, and moves to the second pair of maps, where a lap kept from an
    // earlier run waits for the first lap boundary.
    if (sessionBegins) {
        if (activeRecord == 2) {
            lapThrottleHistory1.swap(lapThrottleHistory2);
            lapBrakeHistory1.swap(lapBrakeHistory2);
        }
        if (activeRecord != 0) {
            lapThrottleHistory1.clear();
            lapBrakeHistory1.clear();
            storedReference = !lapThrottleHistory2.empty();
            activeRecord = 0;
        }
        itThr = lapThrottleHistory2.begin();
        itBrk = lapBrakeHistory2.begin();
    }

    if (keeper) {
        const StoredLap* stored = keeper->poll(*irData);
        if (stored && activeRecord == 0 && !stored->points.empty()) {
            lapThrottleHistory2.clear();
            lapBrakeHistory2.clear();
            for (const LapPoint& p : stored->points) {
                lapThrottleHistory2.emplace_hint(lapThrottleHistory2.end(), p.pct, p.throttle);
                lapBrakeHistory2.emplace_hint(lapBrakeHistory2.end(), p.pct, p.brake);
            }
            itThr = lapThrottleHistory2.begin();
            itBrk = lapBrakeHistory2.begin();
            lastBestLapTime = stored->lapTime;
            storedReference = true;
        }
    }

    switch (activeRecord) {
    case 0:
        if (storedReference) {
            followReference(itThr, lapThrottleHistory2, pct, thr);
            followReference(itBrk, lapBrakeHistory2, pct, brk);
        } else {
            thr = thr > 0.99f ? 1.0f : 0.0f;
            brk = brk > 0.01f ? 1.0f : 0.0f;
        }
        break;
    case 1:
        if (placed) {
            lapThrottleHistory1.emplace(pct, thr);
            lapBrakeHistory1.emplace(pct, brk);
        }
        followReference(itThr, lapThrottleHistory2, pct, thr);
        followReference(itBrk, lapBrakeHistory2, pct, brk);
        break;
    case 2:
        if (placed) {
            lapThrottleHistory2.emplace(pct, thr);
            lapBrakeHistory2.emplace(pct, brk);
        }
        followReference(itThr, lapThrottleHistory1, pct, thr);
        followReference(itBrk, lapBrakeHistory1, pct, brk);
        break;
    }
    m.setVar(ZONE_T, thr);
    m.setVar(ZONE_B, brk);

    const int lap = irData->getVarInt("Lap", 0);
    static int lastLap = lap;
    if (sessionBegins)
        lastLap = lap;
    sessionBegins = false;

    if (pct > 0.03f && lap > lastLap) {
        lastLap = lap;
        // A lap time that cannot be one (none, zero, a millionth of a
        // second, a year) makes no lap the best.
        float t = irData->getVarFloat("LapLastLapTime", 0);
        if (!plausibleLapTime(t))
            t = 9999.9f;
        if (lastBestLapTime >= t) {
            lastBestLapTime = t;
            if (activeRecord == 1) {
                itThr = lapThrottleHistory1.begin();
                itBrk = lapBrakeHistory1.begin();
                activeRecord = 2;
                lapThrottleHistory2.clear();
                lapBrakeHistory2.clear();
                if (keeper)
                    keeper->keep(*irData, t, lapThrottleHistory1, lapBrakeHistory1);
            } else if (activeRecord == 2) {
                itThr = lapThrottleHistory2.begin();
                itBrk = lapBrakeHistory2.begin();
                activeRecord = 1;
                lapThrottleHistory1.clear();
                lapBrakeHistory1.clear();
                if (keeper)
                    keeper->keep(*irData, t, lapThrottleHistory2, lapBrakeHistory2);
            }
        } else {
            if (activeRecord == 1) {
                itThr = lapThrottleHistory2.begin();
                itBrk = lapBrakeHistory2.begin();
                lapThrottleHistory1.clear();
                lapBrakeHistory1.clear();
            } else if (activeRecord == 2) {
                itThr = lapThrottleHistory1.begin();
                itBrk = lapBrakeHistory1.begin();
                lapThrottleHistory2.clear();
                lapBrakeHistory2.clear();
            }
        }
        if (activeRecord == 0) {
            // Recording starts in the first pair; a stored lap stays the
            // reference in the second, its cursors back at its start.
            activeRecord = 1;
            lapThrottleHistory1.clear();
            lapBrakeHistory1.clear();
            if (storedReference) {
                itThr = lapThrottleHistory2.begin();
                itBrk = lapBrakeHistory2.begin();
            } else {
                lapThrottleHistory2.clear();
                lapBrakeHistory2.clear();
                itThr = lapThrottleHistory2.end();
                itBrk = lapBrakeHistory2.end();
            }
        }
    }

    m.incrementIndex();
}
