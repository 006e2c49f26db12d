// 64-bit positions in recorded files on every platform: long is 32 bits on
// 64-bit Windows, so std::fseek and std::ftell stop at 2 GB there.
#pragma once

#include <cstdio>

// Moves to an absolute byte offset; false on failure or a negative offset.
inline bool irsdk_seek(FILE* f, long long offset)
{
    if (offset < 0)
        return false;
#if defined(_WIN32)
    return _fseeki64(f, offset, SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// Size of an open stream in bytes, or -1; leaves the position at the end.
inline long long irsdk_streamSize(FILE* f)
{
#if defined(_WIN32)
    if (_fseeki64(f, 0, SEEK_END) != 0)
        return -1;
    return _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0)
        return -1;
    return static_cast<long long>(ftello(f));
#endif
}
