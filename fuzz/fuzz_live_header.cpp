// Fuzzes the live reader's bounds checks: the input is the whole shared
// memory, held in a heap buffer of exactly its size so that the sanitizer
// sees any read past it. The reader synchronises, then every tick moves on
// so that the newest record is copied, and every accessor and lookup runs.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"

namespace {

// Moves every slot's tick on by one, as a writer publishing would.
void advanceTicks(char* view)
{
    for (int i = 0; i < IRSDK_MAX_BUFS; ++i) {
        const size_t at = offsetof(irsdk_TelemetryHeader, bufferSlots) + i * sizeof(irsdk_BufferSlot)
            + offsetof(irsdk_BufferSlot, tick);
        int32_t tick;
        std::memcpy(&tick, view + at, sizeof tick);
        if (tick < INT32_MAX)
            ++tick;
        std::memcpy(view + at, &tick, sizeof tick);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    char* view = new char[size > 0 ? size : 1];
    if (size > 0)
        std::memcpy(view, data, size);
    irsdk_attachBufferForTesting(view, size);
    if (size < sizeof(irsdk_TelemetryHeader)) {
        // Too small to attach (a reader would not attach to it either).
        delete[] view;
        return 0;
    }

    const int length = irsdk_liveRecordLength();
    std::vector<char> record(static_cast<size_t>(length > 0 ? length : 1));
    irsdk_getNewData(record.data(), length);
    advanceTicks(view);
    irsdk_getNewData(record.data(), length);
    advanceTicks(view);
    irsdk_getNewData(nullptr);
    irsdk_isConnected();

    for (int i = -1; i <= IRSDK_MAX_BUFS; ++i)
        irsdk_getData(i);
    if (const irsdk_VarDescriptor* table = irsdk_getVarHeaderPtr())
        (void)table->dataOffset;
    for (int i = -1; i < 4; ++i)
        irsdk_getVarHeaderEntry(i);
    irsdk_varNameToIndex("Speed");
    irsdk_varNameToOffset("SessionTime");
    irsdk_varNameToIndex("NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN");
    if (const char* text = irsdk_getSessionInfoStr())
        (void)std::strlen(text);

    irsdk_shutdown();
    delete[] view;
    return 0;
}
