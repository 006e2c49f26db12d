#include "irsdk_utils.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <ctime>

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

time_t now()
{
    return timeSource ? timeSource() : time(nullptr);
}

// Header words are read with atomic loads: the simulator writes them from
// another process while this one reads.
int32_t headerWord(size_t offset)
{
    return __atomic_load_n(reinterpret_cast<const int32_t*>(pSharedMem + offset), __ATOMIC_RELAXED);
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
    return __atomic_load_n(reinterpret_cast<const int32_t*>(pSharedMem + slotOffset(slot) + offsetof(irsdk_BufferSlot, tick)),
        __ATOMIC_ACQUIRE);
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

// Slots to scan: the header's count limited to the four the header holds;
// a count below one means no record is published.
int usableBufferCount()
{
    const int32_t count = headerWord(offsetof(irsdk_TelemetryHeader, bufferCount));
    if (count < 1)
        return 0;
    return count < IRSDK_MAX_BUFS ? count : IRSDK_MAX_BUFS;
}

// The descriptor table and its length when the whole table lies inside the
// view; null otherwise.
const irsdk_VarDescriptor* varTable(int* count)
{
    const int32_t n = headerWord(offsetof(irsdk_TelemetryHeader, varCount));
    const int32_t offset = headerWord(offsetof(irsdk_TelemetryHeader, varTableOffset));
    if (n < 1 || !insideView(offset, static_cast<long long>(n) * static_cast<long long>(sizeof(irsdk_VarDescriptor))))
        return nullptr;
    *count = n;
    return reinterpret_cast<const irsdk_VarDescriptor*>(pSharedMem + offset);
}

// Whether the writer has put a new object under the name (it was restarted,
// perhaps after being killed with its connected bit still set); asked at
// most once per second of the clock while no new record arrives.
bool objectReplaced()
{
    const time_t t = now();
    if (t == lastReplacedCheck)
        return false;
    lastReplacedCheck = t;
    return irsdk_platform::sharedMemoryReplaced(hMemMapFile, IRSDK_MEMMAPFILENAME);
}

// Takes the newest record; destLen < 0 trusts dest to hold recordLength bytes.
bool takeNewData(char* dest, long long destLen)
{
    if (!isInitialized && !irsdk_startup())
        return false;

    if ((statusFlags() & irsdk_statusConnected) == 0) {
        lastTickCount = INT_MAX;
        if (objectReplaced())
            irsdk_shutdown();
        return false;
    }

    const int count = usableBufferCount();
    if (count == 0)
        return false;
    int latest = 0;
    int32_t latestTick = slotTick(0);
    for (int i = 1; i < count; ++i) {
        const int32_t t = slotTick(i);
        if (t > latestTick) {
            latest = i;
            latestTick = t;
        }
    }

    if (latestTick > lastTickCount) {
        const int32_t length = recordLength();
        const int32_t offset = slotRecordOffset(latest);
        if (length <= 0 || !insideView(offset, length))
            return false;
        if (!dest || (destLen >= 0 && length != destLen)) {
            lastTickCount = latestTick;
            lastValidTime = now();
            return true;
        }
        // The copy counts only when the slot carried the same tick before and
        // after it; a writer marks a slot stale before rewriting it.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int32_t before = slotTick(latest);
            std::memcpy(dest, pSharedMem + offset, static_cast<size_t>(length));
            __atomic_thread_fence(__ATOMIC_ACQUIRE);
            const int32_t after = slotTick(latest);
            if (before == after && before > lastTickCount) {
                lastTickCount = before;
                lastValidTime = now();
                return true;
            }
            ++tornCopies;
        }
        return false;
    }
    if (latestTick < lastTickCount)
        lastTickCount = latestTick;
    else if (objectReplaced())
        irsdk_shutdown();
    return false;
}

bool waitForData(int timeoutMs, char* dest, long long destLen)
{
    if (isInitialized || irsdk_startup()) {
        if (takeNewData(dest, destLen))
            return true;
        // takeNewData detaches from an object that was replaced.
        if (isInitialized)
            irsdk_platform::waitEvent(hDataValidEvent, timeoutMs);
        else
            irsdk_platform::sleepMs(timeoutMs);
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
        // may still be sizing its object.
        if (view && size < sizeof(irsdk_TelemetryHeader)) {
            irsdk_platform::unmapSharedMemory(view, size);
            view = nullptr;
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
    if (pSharedMem)
        irsdk_platform::unmapSharedMemory(pSharedMem, sharedMemSize);
    if (hMemMapFile)
        irsdk_platform::closeSharedMemory(hMemMapFile);
    hDataValidEvent = nullptr;
    pSharedMem = nullptr;
    pHeader = nullptr;
    sharedMemSize = 0;
    hMemMapFile = nullptr;
    isInitialized = false;
    lastTickCount = INT_MAX;
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
    return (statusFlags() & irsdk_statusConnected) > 0 && elapsed < timeout;
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

// The text must be terminated inside the view, or it is not handed out.
const char* irsdk_getSessionInfoStr()
{
    if (!isInitialized)
        return nullptr;
    const int32_t offset = headerWord(offsetof(irsdk_TelemetryHeader, sessionTextOffset));
    if (offset < 0 || static_cast<size_t>(offset) >= sharedMemSize)
        return nullptr;
    const char* text = pSharedMem + offset;
    if (!std::memchr(text, '\0', sharedMemSize - static_cast<size_t>(offset)))
        return nullptr;
    return text;
}

const irsdk_VarDescriptor* irsdk_getVarHeaderPtr()
{
    if (!isInitialized)
        return nullptr;
    int count = 0;
    return varTable(&count);
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
    if (!table)
        return -1;
    for (int i = 0; i < count; ++i) {
        if (irsdk_nameEquals(table[i].name, name))
            return i;
    }
    return -1;
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
