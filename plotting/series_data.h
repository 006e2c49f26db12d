// Pure data steps of the line series, without GL: the vertex storage type of
// a pair of history types, ring unrolling into interleaved vertex arrays, the
// extremes scans and the newest x.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

namespace Qvis {
namespace SeriesData {

// The wider of T and U; T when both are four bytes wide.
template <typename T, typename U>
using StorageType = std::conditional_t<(sizeof(U) > sizeof(T)), U, T>;

// Converts a history value to the vertex storage type. A floating value
// stored as int is truncated toward zero; NaN becomes 0 and values beyond
// the int range saturate instead of being undefined.
template <typename E, typename V>
E toStorage(V v)
{
    if constexpr (std::is_integral_v<E> && std::is_floating_point_v<V>) {
        if (std::isnan(v))
            return 0;
        if (v >= static_cast<V>(std::numeric_limits<E>::max()))
            return std::numeric_limits<E>::max();
        if (v <= static_cast<V>(std::numeric_limits<E>::lowest()))
            return std::numeric_limits<E>::lowest();
    }
    return static_cast<E>(v);
}

// Number of samples both histories hold; a missing history holds none.
template <typename T, typename U>
uint32_t commonLength(const std::vector<T>* x, const std::vector<U>* y)
{
    if (!x || !y)
        return 0;
    size_t n = x->size() < y->size() ? x->size() : y->size();
    return static_cast<uint32_t>(n);
}

// Calls f(firstSlot, firstSample, count) for the two runs of consecutive
// samples that make up the ring of n samples read from start, oldest first:
// start .. n-1 into slots 0 .., then 0 .. start-1 after them. A start beyond n
// is clamped to n, which reads the ring from 0. Runs, not single samples, so
// that the copy loops are plain strides the compiler can vectorise.
template <typename F>
void forEachRingRun(uint32_t n, uint32_t start, F f)
{
    if (start > n)
        start = n;
    const uint32_t m = n - start;
    f(0u, start, m);
    f(m, 0u, start);
}

// Interleaves (x, y) of every sample, in ring order, as x0, y0, x1, y1, ...
template <typename E, typename T, typename U>
void unrollLine(const std::vector<T>* x, const std::vector<U>* y, uint32_t start, std::vector<E>& out)
{
    uint32_t n = commonLength(x, y);
    out.resize(2 * static_cast<size_t>(n));
    if (n == 0)
        return;
    E* d = out.data();
    const T* xs = x->data();
    const U* ys = y->data();
    forEachRingRun(n, start, [&](uint32_t slot, uint32_t first, uint32_t count) {
        E* v = d + 2 * static_cast<size_t>(slot);
        const T* xr = xs + first;
        const U* yr = ys + first;
        for (const T* end = xr + count; xr != end; ++xr, ++yr, v += 2) {
            v[0] = toStorage<E>(*xr);
            v[1] = toStorage<E>(*yr);
        }
    });
}

// Drops, from interleaved (x, y) vertices of a line strip, every vertex that
// lies inside a level run between its neighbours (the same y, x in between):
// the strip draws the same line with fewer segments, which a software
// renderer pays for one by one. Plateaus (full throttle, no brake) are most
// of a pedal trace. A vertex whose x is NaN always stays.
template <typename E>
void dropInnerStraightVertices(std::vector<E>& data)
{
    const size_t n = data.size() / 2;
    if (n < 3)
        return;
    E* v = data.data();
    // Level is compared by bits: one integer compare per vertex, where most
    // differ. Bits also call a run of the same NaN y level, whose inner
    // vertices lie in the gap the NaN makes either way; a NaN x never passes
    // the test of x in between.
    using Bits = std::conditional_t<sizeof(E) == 8, uint64_t, uint32_t>;
    const auto bits = [](E e) {
        Bits b;
        std::memcpy(&b, &e, sizeof b);
        return b;
    };
    size_t kept = 1; // the first vertex stays
    E px = v[0], py = v[1];
    for (size_t i = 1; i + 1 < n; ++i) {
        const E cx = v[2 * i], cy = v[2 * i + 1];
        if (bits(cy) == bits(py) && bits(cy) == bits(v[2 * i + 3])) {
            const E nx = v[2 * i + 2];
            if (px <= cx ? cx <= nx : (cx >= nx && px >= cx))
                continue;
        }
        v[2 * kept] = cx;
        v[2 * kept + 1] = cy;
        ++kept;
        px = cx;
        py = cy;
    }
    v[2 * kept] = v[2 * (n - 1)];
    v[2 * kept + 1] = v[2 * (n - 1) + 1];
    data.resize(2 * (kept + 1));
}

// Extremes xmin, xmax, ymin, ymax of a shaded area's samples, its baseline
// y = 0 included once it holds a sample; NaN never changes an extreme.
inline std::array<float, 4> shadedExtremes(const std::vector<float>* x, const std::vector<float>* y, uint32_t n)
{
    const float big = std::numeric_limits<float>::max();
    std::array<float, 4> e{big, -big, n > 0 ? 0.0f : big, n > 0 ? 0.0f : -big};
    for (uint32_t i = 0; i < n; ++i) {
        const float xi = (*x)[i], yi = (*y)[i];
        if (xi > e[1])
            e[1] = xi;
        if (e[0] > xi)
            e[0] = xi;
        if (yi > e[3])
            e[3] = yi;
        if (e[2] > yi)
            e[2] = yi;
    }
    return e;
}

// Extremes xmin, xmax, ymin, ymax of interleaved vertices. Strict comparisons,
// so NaN never changes an extreme; no vertices gives the largest float as
// minimum and its negative as maximum.
template <typename E>
std::array<float, 4> extremes(const std::vector<E>& data)
{
    const float big = std::numeric_limits<float>::max();
    float xmin = big, xmax = -big, ymin = big, ymax = -big;
    size_t nv = data.size() / 2;
    for (size_t v = 0; v < nv; ++v) {
        float x = static_cast<float>(data[2 * v]);
        float y = static_cast<float>(data[2 * v + 1]);
        if (x > xmax)
            xmax = x;
        if (xmin > x)
            xmin = x;
        if (y > ymax)
            ymax = y;
        if (ymin > y)
            ymin = y;
    }
    return {xmin, xmax, ymin, ymax};
}

// The same extremes as a list, for callers that keep them.
template <typename E>
std::vector<float> minMax(const std::vector<E>& data)
{
    const std::array<float, 4> e = extremes(data);
    return {e[0], e[1], e[2], e[3]};
}

// The x of the newest sample of a ring of n samples read from start (the
// last in ring order), passing over samples whose x is NaN; without one, the
// negative largest float, as the extremes give for no samples. Constant time
// where the scan of the extremes is linear.
inline float newestX(const std::vector<float>* x, uint32_t n, uint32_t start)
{
    if (start >= n)
        start = 0;
    for (uint32_t back = 1; back <= n; ++back) {
        const uint32_t i = start + n - back;
        const float xi = (*x)[i < n ? i : i - n];
        if (!std::isnan(xi))
            return xi;
    }
    return -std::numeric_limits<float>::max();
}

} // namespace SeriesData
} // namespace Qvis
