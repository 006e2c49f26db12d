#include "live_publisher.h"

#include <cstring>

namespace {

size_t roundUp16(size_t n)
{
    return (n + 15) & ~static_cast<size_t>(15);
}

int32_t* tickOf(char* base, int slot)
{
    return reinterpret_cast<int32_t*>(base + offsetof(irsdk_TelemetryHeader, bufferSlots)
        + sizeof(irsdk_BufferSlot) * static_cast<size_t>(slot) + offsetof(irsdk_BufferSlot, tick));
}

} // namespace

bool LivePublisher::openRaw(size_t size)
{
    close();
    if (size < sizeof(irsdk_TelemetryHeader)) {
        lastError = "shared memory smaller than the header";
        return false;
    }
    objects = live_publisher_platform::create(size, &lastError);
    if (!objects)
        return false;
    mappedSize = size;
    return true;
}

// Header, text (NUL-terminated), table and records follow one another, each
// region starting on a 16-byte boundary.
bool LivePublisher::open(const std::string& sessionText, const std::vector<irsdk_VarDescriptor>& vars,
    int recordLength, int bufferCount)
{
    if (recordLength <= 0 || bufferCount < 1 || bufferCount > IRSDK_MAX_BUFS) {
        lastError = "bad record length or buffer count";
        return false;
    }
    const size_t textOffset = sizeof(irsdk_TelemetryHeader);
    const size_t textLength = roundUp16(sessionText.size() + 1);
    const size_t tableOffset = textOffset + textLength;
    const size_t firstRecord = roundUp16(tableOffset + vars.size() * sizeof(irsdk_VarDescriptor));
    const size_t stride = roundUp16(static_cast<size_t>(recordLength));
    const size_t total = firstRecord + stride * static_cast<size_t>(bufferCount);
    if (total > static_cast<size_t>(INT32_MAX)) {
        lastError = "layout too large";
        return false;
    }
    if (!openRaw(total))
        return false;

    char* base = memory();
    std::memcpy(base + textOffset, sessionText.data(), sessionText.size());
    if (!vars.empty())
        std::memcpy(base + tableOffset, vars.data(), vars.size() * sizeof(irsdk_VarDescriptor));

    irsdk_TelemetryHeader h;
    std::memset(&h, 0, sizeof h);
    h.reserved0 = IRSDK_VER;
    h.sessionTextLength = static_cast<int32_t>(textLength);
    h.sessionTextOffset = static_cast<int32_t>(textOffset);
    h.varCount = static_cast<int32_t>(vars.size());
    h.varTableOffset = static_cast<int32_t>(tableOffset);
    h.bufferCount = bufferCount;
    h.recordLength = recordLength;
    for (int i = 0; i < IRSDK_MAX_BUFS; ++i) {
        h.bufferSlots[i].tick = LIVE_STALE_TICK;
        if (i < bufferCount)
            h.bufferSlots[i].recordOffset = static_cast<int32_t>(firstRecord + stride * static_cast<size_t>(i));
    }
    std::memcpy(base, &h, sizeof h);

    recordBytes = recordLength;
    slots = bufferCount;
    nextSlot = 0;
    tick = -1;
    return true;
}

bool LivePublisher::openLayout(const irsdk_TelemetryHeader& layout, size_t size)
{
    if (layout.recordLength <= 0 || layout.bufferCount < 1 || layout.bufferCount > IRSDK_MAX_BUFS) {
        lastError = "bad record length or buffer count";
        return false;
    }
    if (!openRaw(size))
        return false;
    irsdk_TelemetryHeader h = layout;
    h.statusFlags &= ~irsdk_statusConnected;
    for (int i = 0; i < IRSDK_MAX_BUFS; ++i)
        h.bufferSlots[i].tick = LIVE_STALE_TICK;
    std::memcpy(memory(), &h, sizeof h);
    recordBytes = layout.recordLength;
    slots = layout.bufferCount;
    nextSlot = 0;
    tick = -1;
    return true;
}

void LivePublisher::close()
{
    if (!objects)
        return;
    setConnected(false);
    signal();
    live_publisher_platform::destroy(objects);
    objects = nullptr;
    mappedSize = 0;
    recordBytes = 0;
    slots = 0;
}

char* LivePublisher::memory()
{
    return objects ? live_publisher_platform::view(objects) : nullptr;
}

void LivePublisher::setConnected(bool connected)
{
    if (!objects)
        return;
    auto* flags = reinterpret_cast<int32_t*>(memory() + offsetof(irsdk_TelemetryHeader, statusFlags));
    if (connected)
        __atomic_fetch_or(flags, irsdk_statusConnected, __ATOMIC_RELEASE);
    else
        __atomic_fetch_and(flags, ~irsdk_statusConnected, __ATOMIC_RELEASE);
}

// The stale mark is ordered before the record bytes by the release fence, and
// the record bytes before the new tick by the release store, so a reader that
// sees the same tick before and after its copy has copied a whole record.
void LivePublisher::writeSlot(int slot, int32_t newTick, const char* record)
{
    char* base = memory();
    if (!base || slot < 0 || slot >= IRSDK_MAX_BUFS)
        return;
    int32_t* slotTick = tickOf(base, slot);
    __atomic_store_n(slotTick, LIVE_STALE_TICK, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
    const auto* h = reinterpret_cast<const irsdk_TelemetryHeader*>(base);
    const long long offset = h->bufferSlots[slot].recordOffset;
    if (offset >= 0 && recordBytes > 0 && offset + recordBytes <= static_cast<long long>(mappedSize))
        std::memcpy(base + offset, record, static_cast<size_t>(recordBytes));
    __atomic_store_n(slotTick, newTick, __ATOMIC_RELEASE);
}

int LivePublisher::publish(const char* record)
{
    if (!objects || slots == 0)
        return -1;
    publishTick(record, tick + 1);
    return tick;
}

// Taking the slots in turn rewrites the oldest, so a reader copying the
// newest record has the most time before its slot comes round again.
void LivePublisher::publishTick(const char* record, int32_t newTick)
{
    if (!objects || slots == 0)
        return;
    tick = newTick;
    writeSlot(nextSlot, tick, record);
    nextSlot = (nextSlot + 1) % slots;
    signal();
}

void LivePublisher::signal()
{
    if (objects)
        live_publisher_platform::signal(objects);
}
