// The self-describing telemetry layout shared by the simulator's live shared
// memory and by recorded .ibt files: a fixed header, a table of variable
// descriptors, a session-info text and one or more records of every variable.
#pragma once

#include <cstdint>
#include <type_traits>

static const int IRSDK_MAX_BUFS = 4;
static const int IRSDK_MAX_STRING = 32;
static const int IRSDK_MAX_DESC = 64;
static const int IRSDK_UNLIMITED_LAPS = 32767;
static const float IRSDK_UNLIMITED_TIME = 604800.0f;
static const int IRSDK_VER = 2;

static const char IRSDK_MEMMAPFILENAME[] = "Local\\IRSDKMemMapFileName";
static const char IRSDK_DATAVALIDEVENTNAME[] = "Local\\IRSDKDataValidEvent";
static const char IRSDK_BROADCASTMSGNAME[] = "IRSDK_BROADCASTMSG";

// Storage type codes of a variable descriptor.
enum irsdk_VarType {
    irsdk_char = 0,     // signed byte
    irsdk_bool = 1,     // one byte, read like irsdk_char
    irsdk_int = 2,      // i32
    irsdk_bitField = 3, // 32-bit word, read like irsdk_int
    irsdk_float = 4,    // 32-bit float
    irsdk_double = 5,   // 64-bit float
    irsdk_typeCount = 6
};

// Size in bytes of one entry, indexed by type code.
static const int irsdk_VarTypeBytes[irsdk_typeCount] = {1, 1, 4, 4, 4, 8};

// Size of one entry of a type code, or 0 for a code no reader can convert.
inline int irsdk_typeSize(int typeCode)
{
    return (typeCode >= 0 && typeCode < irsdk_typeCount) ? irsdk_VarTypeBytes[typeCode] : 0;
}

#pragma pack(push, 1)

struct irsdk_BufferSlot {
    int32_t tick;         // tick of the record in this buffer; larger is newer
    int32_t recordOffset; // byte offset of this buffer's record
    int32_t reserved[2];
};

struct irsdk_TelemetryHeader {
    int32_t reserved0;
    int32_t statusFlags; // bit 0: the simulator is connected and publishing
    int32_t reserved1;
    int32_t sessionTextUpdate; // moves each time the writer rewrites the session text
    int32_t sessionTextLength;
    int32_t sessionTextOffset;
    int32_t varCount;
    int32_t varTableOffset;
    int32_t bufferCount;
    int32_t recordLength;
    int32_t reserved3[2];
    irsdk_BufferSlot bufferSlots[IRSDK_MAX_BUFS];
};

struct irsdk_VarDescriptor {
    int32_t typeCode;
    int32_t dataOffset;   // offset of entry 0 inside a record
    int32_t elementCount; // 1 for a scalar
    int32_t reserved0;
    char name[IRSDK_MAX_STRING]; // NUL-padded
    char reserved1[IRSDK_MAX_DESC + IRSDK_MAX_STRING];
};

// Present only in recorded files, right after the header; carried unread.
struct irsdk_FileSubHeader {
    char reserved[32];
};

#pragma pack(pop)

static_assert(sizeof(irsdk_TelemetryHeader) == 112, "telemetry header is 112 bytes");
static_assert(sizeof(irsdk_BufferSlot) == 16, "buffer slot is 16 bytes");
static_assert(sizeof(irsdk_VarDescriptor) == 144, "variable descriptor is 144 bytes");
static_assert(sizeof(irsdk_FileSubHeader) == 32, "file sub-header is 32 bytes");
static_assert(std::is_trivially_copyable<irsdk_TelemetryHeader>::value, "header is copied as bytes");
static_assert(std::is_trivially_copyable<irsdk_VarDescriptor>::value, "descriptor is copied as bytes");

static const int irsdk_statusConnected = 1;

// Whether [offset, offset + length) lies inside a block of `size` bytes (a
// file, a mapped view, a message), computed without overflow for any
// 32-bit offset and length that a header may claim.
inline bool irsdk_regionFits(long long offset, long long length, long long size)
{
    return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
}

// Whether a descriptor's fixed-width name is exactly a NUL-terminated name:
// compared over at most IRSDK_MAX_STRING bytes up to the first NUL, and a
// name that fills the whole field matches only a name of that length, not
// every longer name that begins with it.
inline bool irsdk_nameEquals(const char (&descName)[IRSDK_MAX_STRING], const char* name)
{
    for (int i = 0; i < IRSDK_MAX_STRING; ++i) {
        if (descName[i] != name[i])
            return false;
        if (name[i] == '\0')
            return true;
    }
    return name[IRSDK_MAX_STRING] == '\0';
}

// The index of the first descriptor named `name` among count, or -1 (also
// for no table or no name).
inline int irsdk_findVar(const irsdk_VarDescriptor* table, int count, const char* name)
{
    for (int i = 0; table && name && i < count; ++i)
        if (irsdk_nameEquals(table[i].name, name))
            return i;
    return -1;
}
