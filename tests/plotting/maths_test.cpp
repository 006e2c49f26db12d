// Limits, rounding, equal axes, ticks, labels and viewport transforms: the
// plotting arithmetic that needs no GL context.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <glm/vec4.hpp>

#include "axes.h"
#include "transforms.h"
#include "window.h"

using namespace Qvis;

namespace {

const float big = std::numeric_limits<float>::max();

glm::vec4 apply(const glm::mat4& m, float u, float v)
{
    return m * glm::vec4(u, v, 0.0f, 1.0f);
}

} // namespace

TEST(ViewportTransform, PlacesTheChildSquareOnItsRectangle)
{
    EXPECT_EQ(Transforms::viewportTransform(0, 0, 1, 1), glm::mat4(1.0f));

    glm::mat4 m = Transforms::viewportTransform(0.15f, 0.15f, 0.8f, 0.75f);
    EXPECT_FLOAT_EQ(m[0][0], 0.8f);
    EXPECT_FLOAT_EQ(m[1][1], 0.75f);
    EXPECT_NEAR(m[3][0], 0.1f, 1e-6);
    EXPECT_NEAR(m[3][1], 0.05f, 1e-6);
    EXPECT_NEAR(apply(m, -1, -1).x, -0.7f, 1e-6);
    EXPECT_NEAR(apply(m, -1, -1).y, -0.7f, 1e-6);
    EXPECT_NEAR(apply(m, 1, 1).x, 0.9f, 1e-6);
    EXPECT_NEAR(apply(m, 1, 1).y, 0.8f, 1e-6);

    glm::mat4 right = Transforms::viewportTransform(0.5f, 0, 0.5f, 1);
    EXPECT_NEAR(apply(right, -1, -0.3f).x, 0.0f, 1e-6);
    EXPECT_NEAR(apply(right, 1, 0.7f).x, 1.0f, 1e-6);
    EXPECT_NEAR(apply(right, 1, 0.7f).y, 0.7f, 1e-6);
}

TEST(ViewportTransform, NestedAxesRectangleSpansTheDocumentedWindowFractions)
{
    // Plot over the whole window, axes at their default place with 0.03 insets.
    glm::mat4 m = Transforms::viewportTransform(0, 0, 1, 1) *
                  Transforms::viewportTransform(0.18f, 0.18f, 0.77f, 0.72f);
    glm::vec4 lo = apply(m, -1, -1), hi = apply(m, 1, 1);
    EXPECT_NEAR(0.5f + 0.5f * lo.x, 0.18f, 1e-6);
    EXPECT_NEAR(0.5f + 0.5f * lo.y, 0.18f, 1e-6);
    EXPECT_NEAR(0.5f + 0.5f * hi.x, 0.95f, 1e-6);
    EXPECT_NEAR(0.5f + 0.5f * hi.y, 0.90f, 1e-6);
}

TEST(AdjustSigFig, RoundsMinimaDownAndMaximaUpToTwoFigures)
{
    struct Case {
        std::vector<float> in, out;
    } cases[] = {
        {{0.0f, 1.0f, 0.37f, 7.3f}, {0.0f, 1.0f, 0.37f, 7.4f}},
        {{-123.4f, 123.4f, -0.004f, 0.004f}, {-130.0f, 130.0f, -0.01f, 0.01f}},
        {{3.14159f, 99.5f, -1.5f, 250.0f}, {3.1f, 100.0f, -1.5f, 250.0f}},
        {{0.999f, 1.001f, -0.999f, -1.001f}, {0.99f, 1.1f, -1.0f, -1.0f}},
        {{1000.0f, 1000.0f, 0.5f, 10.0f}, {1000.0f, 1000.0f, 0.5f, 10.0f}},
        // Band edges are inclusive: exactly 1, 10 and 100 keep their band's step.
        {{-1.0f, 10.0f, -100.0f, 100.0f}, {-1.0f, 10.0f, -100.0f, 100.0f}},
        {{1.005f, 10.05f, 0.0f, 100.5f}, {1.0f, 11.0f, 0.0f, 110.0f}},
    };
    for (const Case& c : cases) {
        std::vector<float> l = c.in;
        AxesMaths::adjustSigFig(&l);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(l[i], c.out[i], std::fabs(c.out[i]) * 1e-6 + 1e-7)
                << "position " << i << " of " << c.in[0] << " " << c.in[1] << " " << c.in[2] << " "
                << c.in[3];
    }
}

// Values already on their band's step come back bit for bit on every C
// library: a limit of 0.5 must not turn into 0.49, nor 1 into 0.99.
TEST(AdjustSigFig, ValuesOnTheStepComeBackExactly)
{
    for (float v : {0.5f, 0.25f, 0.75f, 1.0f, -0.5f, -1.0f, 2.5f, 12.0f, 250.0f, 0.0f}) {
        std::vector<float> l{v, v, v, v};
        AxesMaths::adjustSigFig(&l);
        EXPECT_EQ(l, (std::vector<float>{v, v, v, v})) << v;
    }
}

TEST(AdjustSigFig, NonFiniteAndHugeValuesEndAndStayFiniteWhereTheyWere)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> l{-inf, inf, std::nanf(""), big};
    AxesMaths::adjustSigFig(&l);
    EXPECT_EQ(l[0], -inf);
    EXPECT_EQ(l[1], inf);
    EXPECT_TRUE(std::isnan(l[2]));
    EXPECT_EQ(l[3], big); // rounding up past the largest float saturates
}

TEST(MakeAxesEqual, WidensTheAxisThatNeedsFewerUnitsPerPixel)
{
    std::vector<float> l{0, 10, 0, 10};
    AxesMaths::makeAxesEqual(&l, 400, 200);
    EXPECT_EQ(l, (std::vector<float>{-5, 15, 0, 10}));

    std::vector<float> tall{0, 10, 0, 10};
    AxesMaths::makeAxesEqual(&tall, 200, 400);
    EXPECT_EQ(tall, (std::vector<float>{0, 10, -5, 15}));

    std::vector<float> unchanged{0, 10, 0, 10};
    AxesMaths::makeAxesEqual(&unchanged, 0, 200); // no pixels: nothing to equalise
    EXPECT_EQ(unchanged, (std::vector<float>{0, 10, 0, 10}));
}

TEST(Autoscale, TakesRoundedDataLimitsPerEnabledAxis)
{
    float l[4] = {-1, 1, -1, 1};
    AxesMaths::autoscale({3.14159f, 99.5f, -1.5f, 250.0f}, true, false, 400, 300, true, true, l);
    EXPECT_NEAR(l[0], 3.1f, 1e-5);
    EXPECT_NEAR(l[1], 100.0f, 1e-5);
    EXPECT_NEAR(l[2], -1.5f, 1e-5);
    EXPECT_NEAR(l[3], 250.0f, 1e-5);

    float onlyY[4] = {-1, 1, -1, 1};
    AxesMaths::autoscale({0, 10, 0, 10}, false, true, 400, 200, false, true, onlyY);
    EXPECT_EQ(onlyY[0], -1); // x keeps its limits although equal axes widened x
    EXPECT_EQ(onlyY[1], 1);
    EXPECT_EQ(onlyY[2], 0);
    EXPECT_EQ(onlyY[3], 10);
}

TEST(Autoscale, AxesWithoutUsableDataKeepTheirLimits)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::vector<float> m;
        bool keepX, keepY;
    } cases[] = {
        {{big, -big, big, -big}, true, true},            // no series or no samples
        {{0, 5, inf, inf}, false, true},                 // y data infinite
        {{std::nanf(""), 1, 0, 1}, true, false},         // x extreme NaN
    };
    for (const Case& c : cases) {
        float l[4] = {2, 3, 4, 5};
        AxesMaths::autoscale(c.m, true, true, 400, 300, true, true, l);
        EXPECT_EQ(c.keepX, l[0] == 2 && l[1] == 3);
        EXPECT_EQ(c.keepY, l[2] == 4 && l[3] == 5);
        for (float v : l)
            EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(Autoscale, ConstantSignalGetsAWidenedExtent)
{
    struct Case {
        float v, lo, hi;
    } cases[] = {{1.0f, 0.9f, 1.1f}, {0.0f, -1.0f, 1.0f}, {-50.0f, -55.0f, -45.0f}};
    for (const Case& c : cases) {
        float l[4] = {-1, 1, -1, 1};
        AxesMaths::autoscale({0, 1, c.v, c.v}, true, false, 400, 300, true, true, l);
        EXPECT_NEAR(l[2], c.lo, 1e-5) << c.v;
        EXPECT_NEAR(l[3], c.hi, 1e-5) << c.v;
    }
}

TEST(UsableLimits, NeverGivesADivisionByZeroOrNonFiniteScale)
{
    const float inf = std::numeric_limits<float>::infinity();
    float tiny = std::numeric_limits<float>::denorm_min();
    const std::array<float, 4> inputs[] = {
        {5, 5, 0, 0}, {big, big, -big, -big}, {tiny, tiny, 1, 1}, {-inf, inf, std::nanf(""), 0},
    };
    for (const auto& in : inputs) {
        std::array<float, 4> l = AxesMaths::usableLimits(in[0], in[1], in[2], in[3]);
        EXPECT_LT(l[0], l[1]);
        EXPECT_LT(l[2], l[3]);
        glm::mat4 m = AxesMaths::scale2AxesLimits(l[0], l[1], l[2], l[3]);
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                EXPECT_TRUE(std::isfinite(m[c][r]));
    }
    // Limits given maximum first are kept: the axis is drawn flipped.
    std::array<float, 4> flipped = AxesMaths::usableLimits(10, 0, 0, 1);
    EXPECT_EQ(flipped[0], 10);
    EXPECT_EQ(flipped[1], 0);
}

TEST(Scale2AxesLimits, MapsLimitsOntoMinusOneToOne)
{
    glm::mat4 m = AxesMaths::scale2AxesLimits(0, 10, -2, 6);
    EXPECT_NEAR(apply(m, 0, -2).x, -1, 1e-6);
    EXPECT_NEAR(apply(m, 5, 2).x, 0, 1e-6);
    EXPECT_NEAR(apply(m, 10, 6).x, 1, 1e-6);
    EXPECT_NEAR(apply(m, 0, -2).y, -1, 1e-6);
    EXPECT_NEAR(apply(m, 0, 2).y, 0, 1e-6);
    EXPECT_NEAR(apply(m, 0, 6).y, 1, 1e-6);
}

TEST(CompareMinMax, MergesStrictlyAndIgnoresNaN)
{
    std::vector<float> o{big, -big, big, -big};
    AxesMaths::compareMinMax(&o, {1, 2, -3, 4});
    AxesMaths::compareMinMax(&o, {std::nanf(""), std::nanf(""), -5, std::nanf("")});
    AxesMaths::compareMinMax(&o, {0.5f, 1.5f, 0, 3});
    EXPECT_EQ(o, (std::vector<float>{0.5f, 2, -5, 4}));
}

TEST(TickLayout, FiveTicksAtEdgesQuartersAndMiddle)
{
    std::vector<float> t{0, 0, -1, 1};
    AxesMaths::tickLayout(5, 0.03f, 0.03f, t);
    ASSERT_EQ(t.size(), 40u);
    const float steps[] = {-1.0f, -0.5f, 0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_FLOAT_EQ(t[4 * i], steps[i]);     // x tick foot on the bottom edge
        EXPECT_FLOAT_EQ(t[4 * i + 1], -1.0f);
        EXPECT_FLOAT_EQ(t[4 * i + 3], -1.0618557f);
        EXPECT_FLOAT_EQ(t[20 + 4 * i], -1.0f);   // y tick foot on the left edge
        EXPECT_FLOAT_EQ(t[20 + 4 * i + 1], steps[i]);
        EXPECT_FLOAT_EQ(t[20 + 4 * i + 2], -1.0618557f);
    }
    AxesMaths::tickLayout(5, 0, 0, t);
    EXPECT_FLOAT_EQ(t[3], -1.0f); // zero-length marks
}

TEST(TickLabels, AsManyDecimalsAsTheSpacingNeedsAndAtLeastOne)
{
    // Five ticks from lo to hi and the labels drawn at them: each within a
    // fiftieth of the spacing of its value.
    struct Case {
        float lo, hi;
        std::vector<std::string> labels;
    } cases[] = {
        {-1.0f, 1.0f, {"-1.0", "-0.5", "0.0", "0.5", "1.0"}},
        {0.0f, 10.0f, {"0.0", "2.5", "5.0", "7.5", "10.0"}},
        {-9.8f, 0.2f, {"-9.8", "-7.3", "-4.8", "-2.3", "0.2"}},
        {117.28333f, 127.28333f, {"117.3", "119.8", "122.3", "124.8", "127.3"}},
        {-20.0f, 63.0f, {"-20.0", "0.8", "21.5", "42.3", "63.0"}},
        {-290.3f, 91.1f, {"-290.3", "-194.9", "-99.6", "-4.3", "91.1"}},
        {0.37f, 7.4f, {"0.37", "2.13", "3.89", "5.64", "7.40"}},
        {-130.0f, 130.0f, {"-130.0", "-65.0", "0.0", "65.0", "130.0"}},
        // quarters
        {0.0f, 1.0f, {"0.00", "0.25", "0.50", "0.75", "1.00"}},
        {0.0f, 0.1f, {"0.000", "0.025", "0.050", "0.075", "0.100"}},
        {-0.44f, 1.3f, {"-0.44", "0.00", "0.43", "0.87", "1.30"}},
        {-0.43f, 0.9f, {"-0.43", "-0.10", "0.23", "0.57", "0.90"}},
        {-1.2549f, 1.2549f, {"-1.25", "-0.63", "0.00", "0.63", "1.25"}},
        {-0.01f, 0.01f, {"-0.010", "-0.005", "0.000", "0.005", "0.010"}},
        // six decimals at most
        {0.0f, 1.0e-5f, {"0.000000", "0.000002", "0.000005", "0.000007", "0.000010"}},
        // no spacing to go by
        {5.0f, 5.0f, {"5.0", "5.0", "5.0", "5.0", "5.0"}},
    };
    for (const Case& c : cases) {
        const int decimals = AxesMaths::labelDecimals(c.lo, c.hi, 5);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(AxesMaths::tickLabel(AxesMaths::tickValue(c.lo, c.hi, i, 5), decimals), c.labels[i])
                << c.lo << " .. " << c.hi << " tick " << i;
    }

    // Fixed point, ties away from zero on every C library, no minus on zero.
    struct Text {
        float v;
        int decimals;
        const char* text;
    } texts[] = {{0.0f, 1, "0.0"}, {-0.5f, 1, "-0.5"}, {12.34f, 1, "12.3"}, {100.0f, 1, "100.0"},
                 {1.0e6f, 1, "1000000.0"}, {-0.04f, 1, "0.0"}, {0.125f, 2, "0.13"}, {-0.125f, 2, "-0.13"}};
    for (const Text& t : texts)
        EXPECT_EQ(AxesMaths::tickLabel(t.v, t.decimals), t.text);
    EXPECT_EQ(AxesMaths::labelDecimals(0.0f, std::numeric_limits<float>::infinity(), 5), 1);
}

TEST(IsOnAMonitor, NeedsAGrabbableCornerOnOneMonitor)
{
    const std::vector<ScreenRect> two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    struct Case {
        ScreenRect window;
        bool on;
    };
    const Case cases[] = {
        {{100, 100, 700, 80}, true},
        {{-684, 100, 700, 80}, true},    // 16 columns still on the left edge
        {{-685, 100, 700, 80}, false},   // 15 are too few to grab
        {{1900, 1064, 700, 80}, true},   // across both monitors: 20 by 16 on the first
        {{3190, 500, 700, 80}, false},   // 10 columns on the second monitor's right edge
        {{2500, 1030, 700, 80}, false},  // below the smaller second monitor
        {{5000, 5000, 700, 80}, false},  // a monitor since unplugged
        {{-2147483647, 2147483000, 800, 600}, false},
        {{10, 10, 8, 8}, true},          // a window smaller than the corner
        {{10, 10, 0, 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isOnAMonitor(c.window, two), c.on) << c.window.x << "," << c.window.y;
    EXPECT_FALSE(isOnAMonitor({0, 0, 700, 80}, {})) << "no monitor at all";
}

TEST(NiceTicks, RoundStepsWithinTheLimitsAndLabelsByTheSpacing)
{
    struct Case {
        float lo, hi;
        int target;
        std::vector<float> ticks;
        int decimals;
    } cases[] = {
        {0.0f, 1420.0f, 3, {0.0f, 500.0f, 1000.0f}, 0},
        {50.0f, 250.0f, 4, {50.0f, 100.0f, 150.0f, 200.0f, 250.0f}, 0},
        {1.0f, 7.0f, 4, {2.0f, 4.0f, 6.0f}, 0},
        {-1.5f, 0.0f, 4, {-1.5f, -1.0f, -0.5f, 0.0f}, 1},
        {-0.034f, 0.012f, 4, {-0.03f, -0.02f, -0.01f, 0.0f, 0.01f}, 2},
        {3.0f, 3.0f, 4, {}, 0}, // no extent, no ticks
    };
    for (const Case& c : cases) {
        std::vector<float> ticks;
        AxesMaths::niceTicks(c.lo, c.hi, c.target, ticks);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.lo << " " << c.hi;
        for (size_t i = 0; i < ticks.size(); ++i)
            EXPECT_FLOAT_EQ(ticks[i], c.ticks[i]) << c.lo << " " << c.hi;
        EXPECT_EQ(AxesMaths::stepDecimals(AxesMaths::niceStep(c.lo, c.hi, c.target)), c.decimals);
    }
    float lo = -0.073f, hi = 1.463f;
    AxesMaths::niceLimits(&lo, &hi, 4);
    EXPECT_FLOAT_EQ(lo, -0.5f);
    EXPECT_FLOAT_EQ(hi, 1.5f);
    lo = std::nanf("");
    AxesMaths::niceLimits(&lo, &hi, 4);
    EXPECT_TRUE(std::isnan(lo)) << "limits without an extent stay as they are";
}
