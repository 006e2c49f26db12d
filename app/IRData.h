// The telemetry source the overlays read: one object in front of the kind of
// source that delivers the samples (the live simulator, a recorded file, or
// another kind given to it), which reads variables from the source's current
// sample by name, alike for every kind.
#pragma once

#include <memory>

#include "TelemetrySource.h"

class IRData {
public:
    // Live telemetry from the simulator's shared memory.
    IRData();
    explicit IRData(int timeoutMs);
    // Replays a recorded file, opened at the first pass and retried while it
    // cannot be.
    explicit IRData(const char* filePath);
    // Any other source; updateData waits up to timeoutMs for its samples.
    explicit IRData(std::unique_ptr<TelemetrySource> source, int timeoutMs = 16);
    IRData(const IRData&) = delete;
    IRData& operator=(const IRData&) = delete;

    void setupTiming();
    // Advances the source by one sample; true when a new sample became
    // current (a new live record, or the next record of the file).
    bool updateData();
    // How many samples became current so far: what several readers of one
    // sample compare to do their work for it once.
    unsigned long long sampleNumber() const { return samples; }

    float getVarFloat(const char* name, int entry);
    double getVarDouble(const char* name, int entry);
    int getVarInt(const char* name, int entry);

    int getTimeout() const { return timeoutMs; }
    bool isLive() const { return src->isLive(); }
    bool isConnected();
    // Whether the telemetry has a variable of this name (false while not connected).
    bool hasVar(const char* name);
    // Why the source has no telemetry to give, in a few words for the
    // overlay's window: no simulator yet, no recording in the folder, or a
    // file that is not a recording. Null while it has telemetry, and before
    // a replay's first try to open its file.
    const char* whyNoTelemetry();
    // What the overlays say over their last picture, dimmed, once the
    // source stops sending: null for a replay, which just stands still at
    // its end.
    const char* whyStale() const { return src->whyStale(); }
    // A counter that moves whenever the session text may have changed; a
    // recording's text never does.
    int sessionInfoUpdate() const;
    bool isCarOnTrack();
    void endSession();
    int getSessionVar(const char* path, char* val, int valLen);

    // The source itself, for passing its samples on unchanged (sharing).
    TelemetrySource& source() { return *src; }

private:
    // Entry `entry` of the named variable in the current record, or null;
    // *typeCode receives its stored type.
    const char* entryPointer(const char* name, int entry, int* typeCode);

    const char* isOnTrackName = "IsOnTrack";
    int timeoutMs;
    unsigned long long samples = 0;
    std::unique_ptr<TelemetrySource> src;
};
