// Pure data steps of the line series, without GL: the vertex storage type of
// a pair of history types, ring unrolling into interleaved vertex arrays,
// the shaded index pattern and the extremes scan.
#pragma once

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

// Calls f(slot, sample) for the ring of n samples read from start, oldest
// first. A start beyond n is clamped to n, which reads the ring from 0.
template <typename F>
void forEachInRingOrder(uint32_t n, uint32_t start, F f)
{
    if (start > n)
        start = n;
    uint32_t m = n - start;
    for (uint32_t i = 0; i < m; ++i)
        f(i, start + i);
    for (uint32_t j = 0; j < start; ++j)
        f(m + j, j);
}

// Interleaves (x, y) of every sample, in ring order, as x0, y0, x1, y1, ...
template <typename E, typename T, typename U>
void unrollLine(const std::vector<T>* x, const std::vector<U>* y, uint32_t start, std::vector<E>& out)
{
    uint32_t n = commonLength(x, y);
    out.resize(2 * static_cast<size_t>(n));
    E* d = out.data();
    forEachInRingOrder(n, start, [&](uint32_t slot, uint32_t q) {
        d[2 * static_cast<size_t>(slot)] = toStorage<E>((*x)[q]);
        d[2 * static_cast<size_t>(slot) + 1] = toStorage<E>((*y)[q]);
    });
}

// Two vertices per sample, in ring order: (x, y) on the curve, (x, 0) on the baseline.
inline void unrollShaded(const std::vector<float>* x, const std::vector<float>* y, uint32_t start,
                         std::vector<float>& out)
{
    uint32_t n = commonLength(x, y);
    out.resize(4 * static_cast<size_t>(n));
    float* d = out.data();
    forEachInRingOrder(n, start, [&](uint32_t slot, uint32_t q) {
        float* v = d + 4 * static_cast<size_t>(slot);
        v[0] = (*x)[q];
        v[1] = (*y)[q];
        v[2] = (*x)[q];
        v[3] = 0.0f;
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
std::vector<float> minMax(const std::vector<E>& data)
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

} // namespace SeriesData
} // namespace Qvis
