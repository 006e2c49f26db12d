// What every kind of telemetry source offers: the live simulator, a recorded
// file, or a driver's telemetry shared through a broker. A source steps from
// sample to sample and shows its current sample as the self-describing
// layout holds it (variable table, record bytes, session text); IRData reads
// variables from that view alike for every source.
#pragma once

#include "telemetry_layout.h"

// The current sample as its source holds it. Valid until the source's next
// step; empty (null, 0) while the source has no telemetry.
struct TelemetryView {
    const irsdk_VarDescriptor* vars = nullptr;
    int varCount = 0;
    // recordLength bytes; descriptors whose entries do not all lie inside
    // them read as 0.
    const char* record = nullptr;
    int recordLength = 0;
    // Changes whenever the variable table or the record length may have
    // changed (a new connection, another file, a new shared layout).
    unsigned layoutGeneration = 0;
};

class TelemetrySource {
public:
    virtual ~TelemetrySource() = default;

    // Makes the next sample current, waiting at most timeoutMs for it where
    // the source waits; true when a new sample became current.
    virtual bool next(int timeoutMs) = 0;
    virtual bool isConnected() = 0;
    // Why there is no telemetry, in a few words for the overlay's window;
    // null while there is, or before the source has tried to get any.
    virtual const char* whyNoTelemetry() = 0;
    // Telemetry as it happens (the simulator's, or a driver's shared through
    // a broker), as against a replay.
    virtual bool isLive() const = 0;
    // Ends the session at shut-down (closes a file, leaves a broker).
    virtual void endSession() {}

    virtual TelemetryView view() = 0;
    // The session-info text, NUL-terminated; null while there is none.
    virtual const char* sessionText() = 0;
    // A counter that moves whenever the session text may have changed; a
    // source whose text never changes within a connection keeps it at 0.
    virtual int sessionTextUpdate() const { return 0; }
    // What the overlays say over their last picture, dimmed, once the source
    // stops sending or loses its connection; null for a source whose picture
    // just stands still then (a replay at its end).
    virtual const char* whyStale() const { return isLive() ? "Simulator stopped" : nullptr; }
};
