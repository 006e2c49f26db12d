#include "telemetry_mirror.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "irsdk_platform.h"
#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"

namespace {

// Whether [offset, offset + length) is a non-empty region after the header
// and inside viewSize bytes; *end receives its end.
bool region(long long offset, long long length, size_t viewSize, long long* end)
{
    *end = offset + length;
    return offset >= static_cast<long long>(sizeof(irsdk_TelemetryHeader)) && length > 0
        && *end <= static_cast<long long>(viewSize);
}

// Everything but the ticks and the status: a source that keeps these kept
// its layout, and the copy stays valid.
bool sameLayout(const irsdk_TelemetryHeader& a, const irsdk_TelemetryHeader& b)
{
    if (a.sessionTextOffset != b.sessionTextOffset || a.sessionTextLength != b.sessionTextLength
        || a.varCount != b.varCount || a.varTableOffset != b.varTableOffset || a.bufferCount != b.bufferCount
        || a.recordLength != b.recordLength)
        return false;
    for (int i = 0; i < a.bufferCount && i < IRSDK_MAX_BUFS; ++i) {
        if (a.bufferSlots[i].recordOffset != b.bufferSlots[i].recordOffset)
            return false;
    }
    return true;
}

} // namespace

size_t telemetryLayoutExtent(const irsdk_TelemetryHeader& h, size_t viewSize, std::string* problem)
{
    long long extent = static_cast<long long>(sizeof h), end = 0;
    if (h.bufferCount < 1 || h.bufferCount > IRSDK_MAX_BUFS || h.recordLength < 1) {
        *problem = "bad buffer count or record length";
        return 0;
    }
    for (int i = 0; i < h.bufferCount; ++i) {
        if (!region(h.bufferSlots[i].recordOffset, h.recordLength, viewSize, &end)) {
            *problem = "a record slot outside the shared memory";
            return 0;
        }
        extent = std::max(extent, end);
    }
    const long long tableBytes = static_cast<long long>(h.varCount) * static_cast<long long>(sizeof(irsdk_VarDescriptor));
    if (!region(h.varTableOffset, tableBytes, viewSize, &end)) {
        *problem = "no variable table inside the shared memory";
        return 0;
    }
    extent = std::max(extent, end);
    if (!region(h.sessionTextOffset, h.sessionTextLength, viewSize, &end)) {
        *problem = "no session text region inside the shared memory";
        return 0;
    }
    extent = std::max(extent, end);
    return static_cast<size_t>(extent);
}

// One look at the source's header, every word loaded atomically; false when
// the source's view is gone.
bool TelemetryMirror::copyHeader(irsdk_TelemetryHeader* h)
{
    static_assert(sizeof(irsdk_TelemetryHeader) % sizeof(int32_t) == 0, "header is whole words");
    const irsdk_TelemetryHeader* live = irsdk_getHeader();
    return live && irsdk_platform::loadWordsFromView(reinterpret_cast<const int32_t*>(live),
        reinterpret_cast<int32_t*>(h), sizeof *h / sizeof(int32_t));
}

bool TelemetryMirror::connect()
{
    end();
    lastProblem.clear();
    if (!irsdk_getHeader() && !irsdk_startup())
        return false;
    irsdk_TelemetryHeader h;
    // A source that is there but not publishing is let go, so that this
    // process does not keep its objects alive until it starts again.
    if (!copyHeader(&h) || (h.statusFlags & irsdk_statusConnected) == 0) {
        irsdk_shutdown();
        return false;
    }
    // The live layer's private copy of the table, which must hold as many
    // descriptors as this look at the header promised.
    const size_t extent = telemetryLayoutExtent(h, irsdk_getMappedSize(), &lastProblem);
    const irsdk_VarDescriptor* table = extent ? irsdk_getVarHeaderPtr() : nullptr;
    if (!table || !irsdk_getVarHeaderEntry(h.varCount - 1)) {
        if (lastProblem.empty())
            lastProblem = "the variable table cannot be read";
        irsdk_shutdown();
        return false;
    }
    if (!publisher.openLayout(h, extent)) {
        lastProblem = publisher.error();
        irsdk_shutdown();
        return false;
    }
    layout = h;
    std::memcpy(publisher.memory() + h.varTableOffset, table, static_cast<size_t>(h.varCount) * sizeof *table);
    copySessionText(h.sessionTextUpdate);
    record.assign(static_cast<size_t>(h.recordLength), 0);
    lastTick = INT_MIN;
    lastRecordAt = std::chrono::steady_clock::now();
    publisher.setConnected(true);
    publisher.signal();
    return true;
}

// The text is written before its counter, which is stored with release
// ordering: a reader that sees the new counter finds the new text.
void TelemetryMirror::copySessionText(int32_t update)
{
    char* text = publisher.memory() + layout.sessionTextOffset;
    const size_t capacity = static_cast<size_t>(layout.sessionTextLength);
    const char* source = irsdk_getSessionInfoStr();
    const size_t length = source ? std::min(std::strlen(source), capacity - 1) : 0;
    std::memcpy(text, source ? source : "", length);
    std::memset(text + length, 0, capacity - length);
    __atomic_store_n(&publisher.header()->sessionTextUpdate, update, __ATOMIC_RELEASE);
}

void TelemetryMirror::pump(int timeoutMs)
{
    if (!connected())
        return;
    const bool fresh = irsdk_waitForDataReady(timeoutMs, record.data(), static_cast<int>(record.size()));
    const auto now = std::chrono::steady_clock::now();
    irsdk_TelemetryHeader h;
    if (!copyHeader(&h) || (h.statusFlags & irsdk_statusConnected) == 0 || !sameLayout(h, layout)
        || now - lastRecordAt > silenceLimit) {
        close();
        return;
    }
    if (fresh) {
        // Ticks only grow within one run of the source; a smaller one is a
        // source that started again under the same name.
        const int32_t tick = irsdk_getLastTick();
        if (tick <= lastTick) {
            end();
            return;
        }
        publisher.publishTick(record.data(), tick);
        lastTick = tick;
        lastRecordAt = now;
        ++published;
    }
    if (h.sessionTextUpdate != publisher.header()->sessionTextUpdate)
        copySessionText(h.sessionTextUpdate);
}

void TelemetryMirror::end()
{
    publisher.close();
}

void TelemetryMirror::close()
{
    end();
    irsdk_shutdown();
}
