// Typed reads of one stored telemetry value, shared by the live client and the
// recorded-file reader so that both convert between stored and asked types alike.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "telemetry_layout.h"

namespace irsdk_convert {

// Truncates toward zero; NaN and values outside the i32 range give INT_MIN,
// as the processor's own conversion does, without undefined behaviour.
inline int truncToInt(double d)
{
    if (!(d > -2147483649.0 && d < 2147483648.0))
        return INT_MIN;
    return static_cast<int>(d);
}

template <typename T>
inline T load(const char* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// p points at the entry's first byte, which lies inside the record.
inline bool readBool(const char* p, int typeCode)
{
    switch (typeCode) {
    case irsdk_char:
    case irsdk_bool: return load<int8_t>(p) != 0;
    case irsdk_int:
    case irsdk_bitField: return load<int32_t>(p) != 0;
    case irsdk_float: return load<float>(p) >= 1.0f;
    case irsdk_double: return load<double>(p) >= 1.0;
    default: return false;
    }
}

inline int readInt(const char* p, int typeCode)
{
    switch (typeCode) {
    case irsdk_char:
    case irsdk_bool: return load<int8_t>(p);
    case irsdk_int:
    case irsdk_bitField: return load<int32_t>(p);
    case irsdk_float: return truncToInt(load<float>(p));
    case irsdk_double: return truncToInt(load<double>(p));
    default: return 0;
    }
}

inline float readFloat(const char* p, int typeCode)
{
    switch (typeCode) {
    case irsdk_char:
    case irsdk_bool: return static_cast<float>(load<int8_t>(p));
    case irsdk_int:
    case irsdk_bitField: return static_cast<float>(load<int32_t>(p));
    case irsdk_float: return load<float>(p);
    case irsdk_double: return static_cast<float>(load<double>(p));
    default: return 0.0f;
    }
}

inline double readDouble(const char* p, int typeCode)
{
    switch (typeCode) {
    case irsdk_char:
    case irsdk_bool: return static_cast<double>(load<int8_t>(p));
    case irsdk_int:
    case irsdk_bitField: return static_cast<double>(load<int32_t>(p));
    case irsdk_float: return static_cast<double>(load<float>(p));
    case irsdk_double: return load<double>(p);
    default: return 0.0;
    }
}

// Where entry `entry` of a descriptor lies in a record of recordLength bytes,
// or -1 when the type is unknown, the entry is out of range, or the
// descriptor's entries do not all lie inside the record.
inline long long entryOffset(const irsdk_VarDescriptor& d, int entry, int recordLength)
{
    const int size = irsdk_typeSize(d.typeCode);
    if (size == 0 || entry < 0 || entry >= d.elementCount || d.dataOffset < 0)
        return -1;
    const long long end = static_cast<long long>(d.dataOffset) + static_cast<long long>(d.elementCount) * size;
    if (end > recordLength)
        return -1;
    return static_cast<long long>(d.dataOffset) + static_cast<long long>(entry) * size;
}

// Whether every entry of a descriptor can be read from a record of
// recordLength bytes: a known type, at least one entry, all inside.
inline bool readable(const irsdk_VarDescriptor& d, int recordLength)
{
    return entryOffset(d, 0, recordLength) >= 0;
}

// End of the last entry of a readable descriptor, 0 for any other.
inline long long extentEnd(const irsdk_VarDescriptor& d, int recordLength)
{
    if (!readable(d, recordLength))
        return 0;
    return static_cast<long long>(d.dataOffset) + static_cast<long long>(d.elementCount) * irsdk_typeSize(d.typeCode);
}

} // namespace irsdk_convert
