// The reference lap of a run, one for every overlay that shows it: the
// throttle/brake strip draws its pedals, the delta overlay its time. It takes
// each telemetry sample once, however many overlays ask for it: records the
// lap being driven, finds the lap boundaries, makes the fastest lap the
// reference (or starts from the lap kept for the track and car), and times
// the laps from the start line (LapTiming.h).
#pragma once

#include <memory>
#include <vector>

#include "IRData.h"
#include "LapTiming.h"
#include "ReferenceLapKeeper.h"

class ReferenceLap {
public:
    // The sample as this pass read it.
    struct Sample {
        double time = 0.0; // session time
        float throttle = 0.0f;
        float brake = 0.0f;
        float pct = 0.0f;  // lap-distance fraction
        float speed = 0.0f;
    };

    ReferenceLap();

    // Keeps the best lap across runs through the keeper: its stored lap is the
    // reference from the start, and each new reference lap is offered to it.
    // Without a keeper (file mode, or turned off) nothing is loaded or stored.
    void keepLaps(std::shared_ptr<ReferenceLapKeeper> laps) { keeper = std::move(laps); }

    // Takes the source's current sample; a second call for the same sample
    // does nothing, so that every overlay may call it in its own pass.
    void update(IRData& source);

    const Sample& sample() const { return now; }

    // A new session begins with the source's current or next sample: the lap
    // being recorded belonged to the last one and is dropped, and the lap
    // timing waits for the next crossing of the line. The reference lap stays,
    // since it belongs to the track and car: it waits, as a kept lap does, for
    // the first lap boundary. Every overlay that shows the reference calls
    // this; the calls for one sample after the first do nothing. A session
    // text that names another track or car, now or when it next changes,
    // drops the reference: the run starts as if it had none.
    void startAfresh(IRData& source);

    // What the strip's reference lines show for this sample, worked out before
    // a lap boundary found on it changes the reference: the reference's pedals
    // at the first recorded position at or after the car's; before the first
    // boundary, without a kept lap, full-throttle (above 0.99) and braking
    // (above 0.01) indications as 1 or 0; past the reference's last position,
    // or with no reference yet, the current pedals.
    float lineThrottle() const { return lineThr; }
    float lineBrake() const { return lineBrk; }

    // The reference's table while it has timing (the lap was driven from line
    // to line, or a kept lap of version 2 was loaded), else null; its time from
    // line to line; and a count that goes up whenever the reference changes.
    const std::vector<LapPoint>* timedReference() const;
    float referenceLineTime() const;
    unsigned long referenceChanges() const { return changes; }

    // The start line as this run has seen it: whether a lap is being timed,
    // and since when.
    const LapClock& clock() const { return lapClock; }

private:
    // The table that is the reference now (it may be empty).
    int referenceIndex() const { return activeRecord == 2 ? 0 : 1; }
    void adopt(const StoredLap& stored);
    void boundary(IRData& source, int lap);
    // Reads the track and car of the session text; drops a reference of others.
    void checkTrackAndCar(IRData& source);

    std::shared_ptr<ReferenceLapKeeper> keeper;
    bool freshStart = false;
    unsigned long long freshStartSample = 0;
    bool taken = false;
    unsigned long long lastSample = 0;
    Sample now;
    float lineThr = 0.0f;
    float lineBrk = 0.0f;

    // activeRecord: 0 before the first lap boundary, 1 while recording into
    // the first table (the second is the reference), 2 the other way round.
    // A table holds each position the car reached once, with the first
    // pedals there, in ascending order of position.
    int activeRecord = 0;
    std::vector<LapPoint> recording[2];
    bool timed[2] = {false, false};
    float lineTime[2] = {0.0f, 0.0f};
    // Where the strip's lookup stands in the reference: the first position at
    // or after the car's; it never moves back between boundaries.
    size_t stripCursor = 0;
    float lastBestLapTime = 9999.0f;
    // The lap counter at the last boundary, or as the first sample read it.
    int lastLap = 0;
    bool lapSeen = false;
    // A lap kept from an earlier run, held in the second table: the reference
    // before the first lap boundary, and the lap to beat after it.
    bool storedReference = false;
    unsigned long changes = 0;
    // The track and car the reference lap belongs to, and those the session
    // text named when it last changed (unknown until it names them).
    LapKey referenceKey;
    LapKey sessionKey;
    int sessionTextSeen = -1;

    LapClock lapClock;
    // Crossings of the line when the table being recorded was started: it is
    // timed when it ends one crossing later.
    unsigned long crossingsAtStart = 0;
};
