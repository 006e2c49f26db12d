#include "irsdk_utils.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <vector>

#include "irsdk_platform.h"
#include "irsdk_utils_internal.h"
#include "value_convert.h"

namespace {

irsdk_platform::Handle hMemMapFile = nullptr;
const char* pSharedMem = nullptr;
const irsdk_TelemetryHeader* pHeader = nullptr;
size_t sharedMemSize = 0;
irsdk_platform::Handle hDataValidEvent = nullptr;
bool isInitialized = false;
int lastTickCount = INT_MAX;
time_t lastValidTime = 0;
const double timeout = 30.0;

time_t (*timeSource)() = nullptr;
unsigned long long tornCopies = 0;
time_t lastReplacedCheck = 0;

// Set when a read of the view faulted: the writer shrank its object under
// the mapping. The reader then detaches and attaches again by name later.
bool viewLost = false;
// The view is a caller's buffer, not a mapping (irsdk_attachBufferForTesting).
bool borrowedView = false;

// Private copies of the variable table and the session text, so that the
// lookups above never read the writer's memory in place. The table is copied
// again on first use after each look at the header.
std::vector<irsdk_VarDescriptor> tableCopy;
bool tableCopyValid = false;
bool tableCopyStale = true;
std::vector<char> sessionCopy;

time_t now()
{
    return timeSource ? timeSource() : time(nullptr);
}

// Header words are read with atomic loads: the simulator writes them from
// another process while this one reads. A load that faults reads as 0 and
// marks the view lost.
int32_t headerWord(size_t offset)
{
    int32_t value = 0;
    if (!irsdk_platform::loadWordsFromView(reinterpret_cast<const int32_t*>(pSharedMem + offset), &value, 1))
        viewLost = true;
    return value;
}

int32_t statusFlags() { return headerWord(offsetof(irsdk_TelemetryHeader, statusFlags)); }
int32_t recordLength() { return headerWord(offsetof(irsdk_TelemetryHeader, recordLength)); }

size_t slotOffset(int slot)
{
    return offsetof(irsdk_TelemetryHeader, bufferSlots) + sizeof(irsdk_BufferSlot) * static_cast<size_t>(slot);
}

// Acquire: the record bytes written before the simulator published this tick
// are visible to the copy that follows.
int32_t slotTick(int slot)
{
    return headerWord(slotOffset(slot) + offsetof(irsdk_BufferSlot, tick));
}

int32_t slotRecordOffset(int slot)
{
    return headerWord(slotOffset(slot) + offsetof(irsdk_BufferSlot, recordOffset));
}

// Whether [offset, offset + length) lies inside the mapped view.
bool insideView(long long offset, long long length)
{
    return offset >= 0 && length >= 0 && offset + length <= static_cast<long long>(sharedMemSize);
}

// Ends the attachment when a read of the view faulted; true when it did.
bool detachIfLost()
{
    if (!viewLost)
        return false;
    irsdk_shutdown();
    return true;
}

// The private copy of the descriptor table and its length when the whole
// table lies inside the view; null otherwise.
const irsdk_VarDescriptor* varTable(int* count)
{
    if (tableCopyStale) {
        tableCopyStale = false;
        tableCopyValid = false;
        const int32_t n = headerWord(offsetof(irsdk_TelemetryHeader, varCount));
        const int32_t offset = headerWord(offsetof(irsdk_TelemetryHeader, varTableOffset));
        const long long bytes = static_cast<long long>(n) * static_cast<long long>(sizeof(irsdk_VarDescriptor));
        if (!viewLost && n >= 1 && insideView(offset, bytes)) {
            tableCopy.resize(static_cast<size_t>(n));
            tableCopyValid = irsdk_platform::copyFromView(tableCopy.data(), pSharedMem + offset, static_cast<size_t>(bytes));
            viewLost = viewLost || !tableCopyValid;
        }
        if (detachIfLost())
            return nullptr;
    }
    if (!tableCopyValid)
        return nullptr;
    *count = static_cast<int>(tableCopy.size());
    return tableCopy.data();
}

// Whether the writer has put a new object under the name (it was restarted,
// perhaps after being killed with its connected bit still set); asked at
// most once per second of the clock while no new record arrives.
bool objectReplaced()
{
    if (!hMemMapFile)
        return false;
    const time_t t = now();
    if (t == lastReplacedCheck)
        return false;
    lastReplacedCheck = t;
    return irsdk_platform::sharedMemoryReplaced(hMemMapFile, IRSDK_MEMMAPFILENAME);
}

// Nothing to hand out: stays attached unless a new object took the name.
bool nothingNew()
{
    if (objectReplaced())
        irsdk_shutdown();
    return false;
}

// One consistent-enough look at the header: every word loaded atomically
// under one guard, acquire-ordered before the record copy that follows.
bool snapshotHeader(irsdk_TelemetryHeader* h)
{
    static_assert(sizeof(irsdk_TelemetryHeader) % sizeof(int32_t) == 0, "header is whole words");
    if (!irsdk_platform::loadWordsFromView(reinterpret_cast<const int32_t*>(pSharedMem),
            reinterpret_cast<int32_t*>(h), sizeof *h / sizeof(int32_t)))
        viewLost = true;
    return !detachIfLost();
}

// Takes the newest record; destLen < 0 trusts dest to hold recordLength bytes.
bool takeNewData(char* dest, long long destLen)
{
    if (!isInitialized && !irsdk_startup())
        return false;
    tableCopyStale = true;

    irsdk_TelemetryHeader h;
    if (!snapshotHeader(&h))
        return false;
    if ((h.statusFlags & irsdk_statusConnected) == 0) {
        lastTickCount = INT_MAX;
        return nothingNew();
    }

    const int count = h.bufferCount < 1 ? 0 : (h.bufferCount < IRSDK_MAX_BUFS ? h.bufferCount : IRSDK_MAX_BUFS);
    if (count == 0)
        return nothingNew();
    int latest = 0;
    for (int i = 1; i < count; ++i) {
        if (h.bufferSlots[i].tick > h.bufferSlots[latest].tick)
            latest = i;
    }
    const int32_t latestTick = h.bufferSlots[latest].tick;

    if (latestTick > lastTickCount) {
        const int32_t length = h.recordLength;
        const int32_t offset = h.bufferSlots[latest].recordOffset;
        if (length <= 0 || !insideView(offset, length))
            return nothingNew();
        if (!dest || (destLen >= 0 && length != destLen)) {
            lastTickCount = latestTick;
            lastValidTime = now();
            return true;
        }
        // The copy counts only when the slot carried the same tick before and
        // after it; a writer marks a slot stale before rewriting it.
        int32_t before = latestTick;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (attempt > 0)
                before = slotTick(latest);
            if (!irsdk_platform::copyFromView(dest, pSharedMem + offset, static_cast<size_t>(length)))
                viewLost = true;
            __atomic_thread_fence(__ATOMIC_ACQUIRE);
            const int32_t after = slotTick(latest);
            if (detachIfLost())
                return false;
            if (before == after && before > lastTickCount) {
                lastTickCount = before;
                lastValidTime = now();
                return true;
            }
            ++tornCopies;
        }
        return false;
    }
    if (latestTick < lastTickCount) {
        lastTickCount = latestTick;
        return false;
    }
    return nothingNew();
}

bool waitForData(int timeoutMs, char* dest, long long destLen)
{
    if (isInitialized || irsdk_startup()) {
        if (takeNewData(dest, destLen))
            return true;
        // takeNewData detaches from an object that was replaced or shrank.
        if (isInitialized && hDataValidEvent) {
            if (!irsdk_platform::waitEvent(hDataValidEvent, timeoutMs))
                irsdk_shutdown();
        } else {
            irsdk_platform::sleepMs(timeoutMs);
        }
        return takeNewData(dest, destLen);
    }
    irsdk_platform::sleepMs(timeoutMs);
    return false;
}

} // namespace

void irsdk_setTimeSource(time_t (*source)())
{
    timeSource = source;
}

int irsdk_getLastTick()
{
    return lastTickCount;
}

unsigned long long irsdk_getTornCopyCount()
{
    return tornCopies;
}

size_t irsdk_getMappedSize()
{
    return isInitialized ? sharedMemSize : 0;
}

int irsdk_liveRecordLength()
{
    if (!isInitialized)
        return 0;
    const int32_t length = recordLength();
    if (detachIfLost())
        return 0;
    return length > 0 && static_cast<size_t>(length) <= sharedMemSize ? length : 0;
}

// Attaches step by step; pieces already held are kept for the next attempt.
bool irsdk_startup()
{
    if (!hMemMapFile) {
        hMemMapFile = irsdk_platform::openSharedMemory(IRSDK_MEMMAPFILENAME);
        lastTickCount = INT_MAX;
    }
    if (hMemMapFile && !pSharedMem) {
        size_t size = 0;
        const char* view = irsdk_platform::mapSharedMemory(hMemMapFile, &size);
        // A view too small for the header is not usable (yet): the writer
        // may still be sizing its object, or it is a stale object that a
        // proper writer will replace under the same name. Either way the
        // next attempt opens the name again.
        if (!view || size < sizeof(irsdk_TelemetryHeader)) {
            if (view)
                irsdk_platform::unmapSharedMemory(view, size);
            view = nullptr;
            irsdk_platform::closeSharedMemory(hMemMapFile);
            hMemMapFile = nullptr;
        }
        if (view) {
            pSharedMem = view;
            sharedMemSize = size;
            pHeader = reinterpret_cast<const irsdk_TelemetryHeader*>(view);
        }
        lastTickCount = INT_MAX;
    }
    if (pSharedMem && !hDataValidEvent) {
        hDataValidEvent = irsdk_platform::openEvent(IRSDK_DATAVALIDEVENTNAME);
        lastTickCount = INT_MAX;
    }
    isInitialized = hDataValidEvent != nullptr;
    return isInitialized;
}

void irsdk_shutdown()
{
    if (hDataValidEvent)
        irsdk_platform::closeEvent(hDataValidEvent);
    if (pSharedMem && !borrowedView)
        irsdk_platform::unmapSharedMemory(pSharedMem, sharedMemSize);
    borrowedView = false;
    if (hMemMapFile)
        irsdk_platform::closeSharedMemory(hMemMapFile);
    hDataValidEvent = nullptr;
    pSharedMem = nullptr;
    pHeader = nullptr;
    sharedMemSize = 0;
    hMemMapFile = nullptr;
    isInitialized = false;
    lastTickCount = INT_MAX;
    viewLost = false;
    tableCopyStale = true;
    tableCopyValid = false;
}

void irsdk_attachBufferForTesting(const char* buffer, size_t size)
{
    irsdk_shutdown();
    if (!buffer || size < sizeof(irsdk_TelemetryHeader))
        return;
    pSharedMem = buffer;
    sharedMemSize = size;
    pHeader = reinterpret_cast<const irsdk_TelemetryHeader*>(buffer);
    borrowedView = true;
    isInitialized = true;
}

bool irsdk_getNewData(char* dest)
{
    return takeNewData(dest, -1);
}

bool irsdk_getNewData(char* dest, int destLen)
{
    return takeNewData(dest, destLen < 0 ? 0 : destLen);
}

bool irsdk_waitForDataReady(int timeoutMs, char* dest)
{
    return waitForData(timeoutMs, dest, -1);
}

bool irsdk_waitForDataReady(int timeoutMs, char* dest, int destLen)
{
    return waitForData(timeoutMs, dest, destLen < 0 ? 0 : destLen);
}

// Connected while the simulator's bit is set and a record was handed out in
// the last 30 seconds.
bool irsdk_isConnected()
{
    if (!isInitialized)
        return false;
    const int elapsed = irsdk_convert::truncToInt(difftime(now(), lastValidTime));
    const int32_t status = statusFlags();
    if (detachIfLost())
        return false;
    return (status & irsdk_statusConnected) > 0 && elapsed < timeout;
}

int irsdk_getSessionTextUpdate()
{
    if (!isInitialized)
        return -1;
    const int32_t update = headerWord(offsetof(irsdk_TelemetryHeader, sessionTextUpdate));
    return detachIfLost() ? -1 : update;
}

const irsdk_TelemetryHeader* irsdk_getHeader()
{
    return isInitialized ? pHeader : nullptr;
}

const char* irsdk_getData(int index)
{
    if (!isInitialized || index < 0 || index >= IRSDK_MAX_BUFS)
        return nullptr;
    const int32_t offset = slotRecordOffset(index);
    const int32_t length = recordLength();
    if (length <= 0 || !insideView(offset, length))
        return nullptr;
    return pSharedMem + offset;
}

// A private copy of the text, taken afresh on every call and bounded by the
// view and the header's text length, so that a writer removing the terminator afterwards cannot send a
// lookup past the end. The text must be terminated inside the view, or it is
// not handed out. Valid until the next call.
const char* irsdk_getSessionInfoStr()
{
    if (!isInitialized)
        return nullptr;
    const int32_t offset = headerWord(offsetof(irsdk_TelemetryHeader, sessionTextOffset));
    const int32_t length = headerWord(offsetof(irsdk_TelemetryHeader, sessionTextLength));
    if (detachIfLost() || offset < 0 || static_cast<size_t>(offset) >= sharedMemSize)
        return nullptr;
    size_t span = sharedMemSize - static_cast<size_t>(offset);
    if (length > 0 && static_cast<size_t>(length) < span)
        span = static_cast<size_t>(length);
    sessionCopy.resize(span + 1);
    if (!irsdk_platform::copyFromView(sessionCopy.data(), pSharedMem + offset, sessionCopy.size() - 1)) {
        viewLost = true;
        detachIfLost();
        return nullptr;
    }
    sessionCopy.back() = '\0';
    if (!std::memchr(sessionCopy.data(), '\0', sessionCopy.size() - 1))
        return nullptr;
    return sessionCopy.data();
}

const irsdk_VarDescriptor* irsdk_getVarHeaderPtr()
{
    if (!isInitialized)
        return nullptr;
    int count = 0;
    return varTable(&count);
}

const irsdk_VarDescriptor* irsdk_getVarTable(int* count)
{
    *count = 0;
    if (!isInitialized)
        return nullptr;
    const irsdk_VarDescriptor* table = varTable(count);
    if (!table)
        *count = 0;
    return table;
}

const irsdk_VarDescriptor* irsdk_getVarHeaderEntry(int index)
{
    if (!isInitialized)
        return nullptr;
    int count = 0;
    const irsdk_VarDescriptor* table = varTable(&count);
    if (!table || index < 0 || index >= count)
        return nullptr;
    return table + index;
}

int irsdk_varNameToIndex(const char* name)
{
    if (!name || !isInitialized)
        return -1;
    int count = 0;
    const irsdk_VarDescriptor* table = varTable(&count);
    return irsdk_findVar(table, count, name);
}

int irsdk_varNameToOffset(const char* name)
{
    const int idx = irsdk_varNameToIndex(name);
    const irsdk_VarDescriptor* d = idx < 0 ? nullptr : irsdk_getVarHeaderEntry(idx);
    return d ? d->dataOffset : -1;
}

unsigned int irsdk_getBroadcastMsgID()
{
    static const unsigned int msgId = irsdk_platform::registerMessage(IRSDK_BROADCASTMSGNAME);
    return msgId;
}

// Posts command msg with p1 in the high half of the first parameter.
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, int p2)
{
    static const unsigned int msgId = irsdk_getBroadcastMsgID();
    if (msgId == 0 || msg < irsdk_BroadcastFirst || msg >= irsdk_BroadcastLast)
        return;
    const uint32_t packed = (static_cast<uint32_t>(msg) & 0xFFFFu) | ((static_cast<uint32_t>(p1) & 0xFFFFu) << 16);
    const intptr_t wParam = static_cast<int32_t>(packed);
    irsdk_platform::postMessage(msgId, wParam, static_cast<intptr_t>(p2));
}

// p2 is sent as 16.16 fixed point.
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, float p2)
{
    irsdk_broadcastMsg(msg, p1, irsdk_convert::truncToInt(static_cast<double>(p2) * 65536.0));
}

// p2 and p3 share the second parameter, p3 in the high half.
void irsdk_broadcastMsg(irsdk_BroadcastMsg msg, int p1, int p2, int p3)
{
    const uint32_t packed = (static_cast<uint32_t>(p2) & 0xFFFFu) | ((static_cast<uint32_t>(p3) & 0xFFFFu) << 16);
    irsdk_broadcastMsg(msg, p1, static_cast<int>(static_cast<int32_t>(packed)));
}

// Encodes the number of digits (and leading zeros) of a car number.
int irsdk_padCarNum(int num, int zero)
{
    const int digits = num > 99 ? 3 : (num > 9 ? 2 : 1);
    return zero != 0 ? num + 1000 * (digits + zero) : num;
}
