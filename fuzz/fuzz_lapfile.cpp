// Reads a kept reference lap from the input, as it is and with its last four
// bytes replaced by the checksum of the rest, so that the checks behind the
// checksum are reached too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ReferenceLaps.h"

namespace {

// CRC-32 (IEEE), bit by bit: slow, and independent of the reader's table.
uint32_t crc32(const std::string& s)
{
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : s) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

void decodeAndCheck(const std::string& bytes)
{
    StoredLap lap;
    std::string error;
    if (decodeLap(bytes, &lap, &error)) {
        // What decodes is whole: it encodes back to the very same bytes.
        if (encodeLap(lap) != bytes)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    float t = 0.0f;
    peekLapTime(bytes, &t);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Exact-size copies, so that a read past the end is caught.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    decodeAndCheck(bytes);
    if (size >= 4) {
        std::string fixed = bytes.substr(0, size - 4);
        const uint32_t c = crc32(fixed);
        for (int i = 0; i < 4; ++i)
            fixed += static_cast<char>((c >> (8 * i)) & 0xFF);
        decodeAndCheck(fixed);
    }
    return 0;
}
