// Records that reveal tearing: a sequence number, words derived from it and a
// checksum, so a copy that mixes two records never validates.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace stress_record {

inline uint32_t word(uint32_t seq, size_t i)
{
    return seq * 2654435761u + static_cast<uint32_t>(i) * 40503u;
}

// Fills rec (a multiple of 4 bytes, at least 8) for sequence number seq.
inline void stamp(std::vector<char>& rec, uint32_t seq)
{
    const size_t n = rec.size() / 4;
    uint32_t* w = reinterpret_cast<uint32_t*>(rec.data());
    uint32_t sum = 0;
    w[0] = seq;
    for (size_t i = 1; i + 1 < n; ++i) {
        w[i] = word(seq, i);
        sum += w[i];
    }
    w[n - 1] = sum ^ seq;
}

// True when rec is a whole record; *seq receives its sequence number.
inline bool valid(const char* rec, size_t length, uint32_t* seq)
{
    const size_t n = length / 4;
    std::vector<uint32_t> w(n);
    std::memcpy(w.data(), rec, n * 4);
    uint32_t sum = 0;
    for (size_t i = 1; i + 1 < n; ++i) {
        if (w[i] != word(w[0], i))
            return false;
        sum += w[i];
    }
    *seq = w[0];
    return w[n - 1] == (sum ^ w[0]);
}

// A writer thread that publishes stamped records of `length` bytes as fast as
// it can, with rising sequence numbers from 1, until `stop` is set.
template <typename Publisher>
std::thread startWriter(Publisher& publisher, int length, const std::atomic<bool>& stop)
{
    return std::thread([&publisher, length, &stop] {
        std::vector<char> rec(static_cast<size_t>(length));
        for (uint32_t seq = 1; !stop.load(std::memory_order_relaxed); ++seq) {
            stamp(rec, seq);
            publisher.publish(rec.data());
        }
    });
}

} // namespace stress_record
