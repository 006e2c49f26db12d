// Reads a kept reference lap from the input, as it is and with its last four
// bytes replaced by the checksum of the rest, so that the checks behind the
// checksum are reached too. Then takes the input's bytes as a lap's time,
// whether it is timed, and its points, raw floats that hold NaN and
// infinities as often as numbers, and checks that a lap the store accepts is
// exactly what loads again (in either version), and that one it refuses
// would not load.
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

// The input as a lap: four bytes of lap time, a byte whose lowest bit says
// timed, for a timed lap four bytes of line time, then twelve bytes a point
// (twenty when timed).
void storeAndLoad(const uint8_t* data, size_t size)
{
    if (size < 5)
        return;
    StoredLap lap;
    lap.key = {"demo_ring", "Demo Formula"};
    std::memcpy(&lap.lapTime, data, 4);
    lap.timed = (data[4] & 1) != 0;
    size_t at = 5;
    if (lap.timed) {
        if (size < 9)
            return;
        std::memcpy(&lap.lineTime, data + 5, 4);
        at = 9;
    }
    const size_t stride = lap.timed ? 20 : 12;
    for (; at + stride <= size; at += stride) {
        LapPoint p;
        std::memcpy(&p.pct, data + at, 4);
        std::memcpy(&p.throttle, data + at + 4, 4);
        std::memcpy(&p.brake, data + at + 8, 4);
        if (lap.timed) {
            std::memcpy(&p.time, data + at + 12, 4);
            std::memcpy(&p.speed, data + at + 16, 4);
        }
        lap.points.push_back(p);
    }
    std::string why, error;
    const bool storable = lapIsStorable(lap, &why);
    StoredLap back;
    const bool loads = decodeLap(encodeLap(lap), &back, &error);
    if (storable != loads || (!storable && why.empty()))
        std::abort();
    if (loads && (back.lapTime != lap.lapTime || back.timed != lap.timed ||
                  std::memcmp(&back.lineTime, &lap.lineTime, 4) != 0 || back.points.size() != lap.points.size() ||
                  (!lap.points.empty() &&
                   std::memcmp(back.points.data(), lap.points.data(), lap.points.size() * sizeof(LapPoint)) != 0)))
        std::abort();
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
    storeAndLoad(data, size);
    return 0;
}
