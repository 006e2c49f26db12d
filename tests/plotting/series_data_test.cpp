// Ring unrolling, vertex storage types, shaded indices and extremes of the
// line series, without GL.
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "series_data.h"

using namespace Qvis::SeriesData;

static_assert(std::is_same_v<StorageType<double, double>, double>);
static_assert(std::is_same_v<StorageType<double, float>, double>);
static_assert(std::is_same_v<StorageType<double, int>, double>);
static_assert(std::is_same_v<StorageType<float, double>, double>);
static_assert(std::is_same_v<StorageType<float, float>, float>);
static_assert(std::is_same_v<StorageType<float, int>, float>);
static_assert(std::is_same_v<StorageType<int, double>, double>);
static_assert(std::is_same_v<StorageType<int, float>, int>);
static_assert(std::is_same_v<StorageType<int, int>, int>);

namespace {

const float big = std::numeric_limits<float>::max();

std::vector<float> xsOf(const std::vector<float>& interleaved)
{
    std::vector<float> xs;
    for (size_t i = 0; i < interleaved.size(); i += 2)
        xs.push_back(interleaved[i]);
    return xs;
}

} // namespace

TEST(RingUnrolling, ReadsOldestFirstFromTheStartIndex)
{
    std::vector<float> x{0, 1, 2, 3, 4};
    std::vector<float> y{10, 11, 12, 13, 14};
    struct Case {
        unsigned start;
        std::vector<float> xs;
    } cases[] = {
        {0, {0, 1, 2, 3, 4}},
        {2, {2, 3, 4, 0, 1}}, // full ring: vertex 0 is sample s, the last is s - 1
        {4, {4, 0, 1, 2, 3}},
        {5, {0, 1, 2, 3, 4}},    // start equal to the length reads from 0
        {900, {0, 1, 2, 3, 4}},  // beyond the history: clamped to the length
    };
    std::vector<float> out;
    for (const Case& c : cases) {
        unrollLine(&x, &y, c.start, out);
        EXPECT_EQ(xsOf(out), c.xs) << "start " << c.start;
        for (size_t i = 0; i < out.size(); i += 2)
            EXPECT_EQ(out[i + 1], out[i] + 10) << "x and y read at the same index";
    }
}

TEST(RingUnrolling, UsesTheCommonPrefixOfUnequalHistories)
{
    std::vector<double> x{0, 1, 2, 3};
    std::vector<int> y{5, 6, 7};
    std::vector<double> out;
    unrollLine(&x, &y, 1, out);
    EXPECT_EQ(out, (std::vector<double>{1, 6, 2, 7, 0, 5}));

    std::vector<double>* none = nullptr;
    unrollLine(none, &y, 0, out);
    EXPECT_TRUE(out.empty());
}

TEST(RingUnrolling, KeepsItsStorageBetweenFrames)
{
    std::vector<float> x(625, 1.0f), y(625, 2.0f);
    std::vector<float> out;
    unrollLine(&x, &y, 100, out);
    const float* storage = out.data();
    for (unsigned s = 0; s < 10; ++s)
        unrollLine(&x, &y, s, out);
    EXPECT_EQ(out.data(), storage);
}

TEST(StorageConversion, IntStorageTruncatesTowardZeroAndNeverOverflows)
{
    std::vector<int> x{0, 1, 2, 3, 4, 5};
    std::vector<float> y{0.9f, -1.7f, std::nanf(""), 3e9f, -3e9f, 2.0f};
    std::vector<int> out;
    unrollLine(&x, &y, 0, out);
    std::vector<int> ys;
    for (size_t i = 1; i < out.size(); i += 2)
        ys.push_back(out[i]);
    EXPECT_EQ(ys, (std::vector<int>{0, -1, 0, std::numeric_limits<int>::max(),
                                    std::numeric_limits<int>::lowest(), 2}));

    // 2^31 itself is beyond int; -2^31 is the lowest int.
    std::vector<int> edges{0, 1};
    std::vector<float> powers{2147483648.0f, -2147483648.0f};
    unrollLine(&edges, &powers, 0, out);
    EXPECT_EQ(out, (std::vector<int>{0, std::numeric_limits<int>::max(), 1, std::numeric_limits<int>::lowest()}));

    std::vector<int> two{0, 1};
    std::vector<float> fractions{0.9f, -1.7f};
    unrollLine(&two, &fractions, 0, out);
    EXPECT_EQ(minMax(out), (std::vector<float>{0, 1, -1, 0}));
}

// A line strip loses only the vertices inside level runs, so it draws the
// same line with fewer segments.
TEST(LineData, VerticesInsideStraightRunsAreDropped)
{
    const float nan = std::nanf("");
    struct Case {
        std::vector<float> in, out;
    } cases[] = {
        {{0, 1, 1, 1, 2, 1, 3, 1}, {0, 1, 3, 1}},                   // a plateau
        {{0, 0, 1, 1, 2, 1, 3, 1, 4, 0}, {0, 0, 1, 1, 3, 1, 4, 0}}, // its ends stay
        {{0, 1, 2, 1, 1, 1}, {0, 1, 2, 1, 1, 1}},                   // going back is no run
        {{5, 0, 5, 0.5f, 5, 1}, {5, 0, 5, 0.5f, 5, 1}},             // upright runs stay
        {{0, 1, 1, nan, 2, 1}, {0, 1, 1, nan, 2, 1}},               // NaN stays
        {{0, 1, 1, 1}, {0, 1, 1, 1}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        std::vector<float> v = c.in;
        dropInnerStraightVertices(v);
        EXPECT_EQ(::testing::PrintToString(v), ::testing::PrintToString(c.out)) << ::testing::PrintToString(c.in);
    }
}

TEST(MinMax, ScansEveryVertexAndIgnoresNaN)
{
    EXPECT_EQ(minMax(std::vector<float>{}), (std::vector<float>{big, -big, big, -big}));
    EXPECT_EQ(minMax(std::vector<double>{1, 2, std::nan(""), std::nan(""), -3, 7}),
              (std::vector<float>{-3, 1, 2, 7}));

    // A shaded area's y range runs to the baseline once it holds a sample.
    std::vector<float> x{4, std::nanf(""), 2}, y{0.6f, 9, 0.2f};
    EXPECT_EQ(shadedExtremes(&x, &y, 0), (std::array<float, 4>{big, -big, big, -big}));
    EXPECT_EQ(shadedExtremes(&x, &y, 1), (std::array<float, 4>{4, 4, 0, 0.6f}));
    EXPECT_EQ(shadedExtremes(&x, &y, 3), (std::array<float, 4>{2, 4, 0, 9}));
    std::vector<float> negative{-0.5f};
    EXPECT_EQ(shadedExtremes(&x, &negative, 1), (std::array<float, 4>{4, 4, -0.5f, 0}));
}

TEST(NewestX, IsTheLastSampleInRingOrderSkippingNaN)
{
    const float nan = std::nanf("");
    struct Case {
        std::vector<float> x;
        uint32_t start;
        float newest;
    } cases[] = {
        {{}, 0, -big},           // no samples: like the extremes of none
        {{1, 3, 2}, 0, 2},       // the last, not the largest
        {{4, 5, 1, 2, 3}, 2, 5}, // a full ring: the one before the oldest
        {{4, nan, 1, 2}, 2, 4},  // a NaN time is passed over
        {{nan, nan}, 1, -big},
        {{1, 2, 3}, 9, 3},       // a start past the end reads from 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(newestX(&c.x, static_cast<uint32_t>(c.x.size()), c.start), c.newest)
            << ::testing::PrintToString(c.x) << " from " << c.start;
}
