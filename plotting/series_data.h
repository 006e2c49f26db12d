// Pure data steps of the line series, without GL: the vertex storage type of
// a pair of history types, ring unrolling into interleaved vertex arrays,
// the shaded index pattern, the extremes scan and the newest x.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
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

// Two vertices per sample, in ring order: (x, y) on the curve, (x, 0) on the baseline.
inline void unrollShaded(const std::vector<float>* x, const std::vector<float>* y, uint32_t start,
                         std::vector<float>& out)
{
    uint32_t n = commonLength(x, y);
    out.resize(4 * static_cast<size_t>(n));
    if (n == 0)
        return;
    float* d = out.data();
    const float* xs = x->data();
    const float* ys = y->data();
    forEachRingRun(n, start, [&](uint32_t slot, uint32_t first, uint32_t count) {
        float* v = d + 4 * static_cast<size_t>(slot);
        const float* xr = xs + first;
        const float* yr = ys + first;
        for (const float* end = xr + count; xr != end; ++xr, ++yr, v += 4) {
            // Loaded once: the stores may alias the histories as far as the
            // compiler knows.
            const float xq = *xr;
            const float yq = *yr;
            v[0] = xq;
            v[1] = yq;
            v[2] = xq;
            v[3] = 0.0f;
        }
    });
}

// Two triangles per segment between curve and baseline vertices of n samples.
inline void shadedIndices(uint32_t n, std::vector<int>& out)
{
    if (n < 2) {
        out.resize(0);
        return;
    }
    out.resize(6 * static_cast<size_t>(n) - 6);
    int* d = out.data();
    for (uint32_t k = 1; k < n; ++k) {
        int* s = d + 6 * (static_cast<size_t>(k) - 1);
        int c = 2 * static_cast<int>(k);
        s[0] = c - 2;
        s[1] = c - 1;
        s[2] = c + 1;
        s[3] = c;
        s[4] = c + 1;
        s[5] = c - 2;
    }
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

// The x of the newest sample of an unrolled array with `stride` values per
// sample (2 for a line, 4 for a shaded series), skipping samples whose x is
// NaN; without one, the negative largest float, as the extremes give for no
// vertices. Constant time where the scan of the extremes is linear.
inline float newestX(const std::vector<float>& data, size_t stride)
{
    for (size_t s = data.size() / stride; s > 0; --s) {
        const float x = data[(s - 1) * stride];
        if (!std::isnan(x))
            return x;
    }
    return -std::numeric_limits<float>::max();
}

} // namespace SeriesData
} // namespace Qvis
