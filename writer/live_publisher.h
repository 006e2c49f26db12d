// Publishes telemetry in the live layout as a careful simulator does: creates
// the named shared memory and data-ready event, writes the header, session
// text and descriptor table, and rotates records through the buffer slots,
// marking a slot stale before rewriting it and publishing its new tick with
// release ordering. Used by `ibt publish`, the tests and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "telemetry_layout.h"

// The tick a slot carries while it is being rewritten: below every real
// tick, so a reader never takes it for the newest record.
static const int32_t LIVE_STALE_TICK = INT32_MIN;

namespace live_publisher_platform {

struct Objects;

// Creates the shared memory (size bytes, at least a header's, zero-filled,
// writable) and the data-ready event under the layout's names; null and
// *error on failure.
Objects* create(size_t size, std::string* error);
char* view(Objects* objects);
// Wakes every reader waiting on the data-ready event.
void signal(Objects* objects);
// Unmaps and removes both objects.
void destroy(Objects* objects);

} // namespace live_publisher_platform

class LivePublisher {
public:
    LivePublisher() = default;
    ~LivePublisher() { close(); }
    LivePublisher(const LivePublisher&) = delete;
    LivePublisher& operator=(const LivePublisher&) = delete;

    // Lays out header, session text, descriptor table and bufferCount record
    // slots (1 to 4), every slot stale; the connected bit stays clear.
    bool open(const std::string& sessionText, const std::vector<irsdk_VarDescriptor>& vars, int recordLength,
        int bufferCount = 3);
    // Zero-filled objects of size bytes, for callers that write the layout
    // themselves (hostile headers in tests).
    bool openRaw(size_t size);
    // Objects of size bytes laid out as another publisher's header describes:
    // the same offsets, lengths and counts, every slot stale, the connected
    // bit clear. The caller copies the session text and the descriptor table
    // to their offsets; records then go out with publishTick. The layout must
    // lie inside size bytes (checked by the caller).
    bool openLayout(const irsdk_TelemetryHeader& layout, size_t size);
    // Clears the connected bit, wakes the readers and removes the objects.
    void close();
    bool isOpen() const { return objects != nullptr; }
    const std::string& error() const { return lastError; }

    void setConnected(bool connected);
    // Writes record into the next slot in turn with the next tick and
    // signals the event; returns the tick.
    int publish(const char* record);
    // As publish, with the tick given: greater than every earlier one.
    void publishTick(const char* record, int32_t newTick);
    // Rewrites one slot: stale tick, record bytes, then the tick (release).
    void writeSlot(int slot, int32_t tick, const char* record);
    void signal();

    char* memory();
    size_t size() const { return mappedSize; }
    irsdk_TelemetryHeader* header() { return reinterpret_cast<irsdk_TelemetryHeader*>(memory()); }
    int recordLength() const { return recordBytes; }
    int32_t lastTick() const { return tick; }

private:
    live_publisher_platform::Objects* objects = nullptr;
    size_t mappedSize = 0;
    int recordBytes = 0;
    int slots = 0;
    int nextSlot = 0;
    int32_t tick = -1;
    std::string lastError;
};
