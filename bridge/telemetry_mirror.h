// Republishes the telemetry that the live layer reads (in the bridge: the
// simulator's named mapping and event inside Wine) through a publisher of its
// own (in the bridge: the POSIX objects that native Linux readers open). One
// copy per connection of the source: the same header, the variable table
// copied once, the session text again whenever its update counter moves, and
// per pass only the newest record, under the source's tick and in the
// publisher's write order. The source going away, restarting or changing its
// layout ends the copy, so that readers see a disconnect and then a new
// session.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "live_publisher.h"
#include "telemetry_layout.h"

// The bytes a header's layout occupies (its furthest region end), or 0 when
// a region is empty, negative or outside viewSize bytes.
size_t telemetryLayoutExtent(const irsdk_TelemetryHeader& h, size_t viewSize, std::string* problem);

class TelemetryMirror {
public:
    // How long a source may stay connected without a new record before it
    // counts as gone (a simulator that died with its connected bit set): the
    // live readers' own limit.
    static constexpr int kSilentSeconds = 30;
    // Another limit, for tests that cannot wait that long.
    void setSilenceLimit(std::chrono::milliseconds limit) { silenceLimit = limit; }

    // Attaches to the source and, when it is publishing a layout that can be
    // copied, lays out the copy and marks it connected. False while there is
    // nothing to copy; problem() then says why when the source is there.
    bool connect();
    // Waits up to timeoutMs for the source's next record and republishes what
    // changed; ends the copy when the source has gone, restarted or changed
    // its layout (connected() is then false).
    void pump(int timeoutMs);
    bool connected() const { return publisher.isOpen(); }
    // Ends the copy (connected bit cleared, readers woken, objects removed)
    // and lets go of the source.
    void close();

    const std::string& problem() const { return lastProblem; }
    // Records republished since the start.
    long long records() const { return published; }

private:
    void end();
    bool copyHeader(irsdk_TelemetryHeader* h);
    void copySessionText(int32_t update);

    LivePublisher publisher;
    irsdk_TelemetryHeader layout{};
    std::vector<char> record;
    int32_t lastTick = 0;
    std::chrono::steady_clock::time_point lastRecordAt;
    std::chrono::milliseconds silenceLimit = std::chrono::seconds(kSilentSeconds);
    std::string lastProblem;
    long long published = 0;
};
