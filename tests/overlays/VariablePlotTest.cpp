// The variable plot: the program's variable list, the three value families,
// line colours, and the drawn lines, limits and labels on real pixels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VariablePlotController.h"
#include "ibt_writer.h"
#include "overlay_pixels.h"
#include "pedal_recording.h"

namespace {

const double kPi = 3.14159265358979323846;

struct ParseCase {
    std::vector<std::string> words;
    std::vector<VarSetup> expected;
};

TEST(ParseVarSetups, NamesTypesAndSlotsInArgumentOrder)
{
    using V = VarSetup;
    using D = IDataStrings;
    const ParseCase cases[] = {
        {{}, {{V::VALUE_FLOAT, "Throttle", D::THROTTLE}, {V::VALUE_FLOAT, "Brake", D::BRAKE},
              {V::VALUE_INT, "Gear", D::LAP_DIST}}},
        {{"Speed"}, {{V::VALUE_FLOAT, "Speed", D::THROTTLE}}},
        {{"RPM@double", "Gear@int", "Speed@float", "Speed"},
         {{V::VALUE_DOUBLE, "RPM", D::THROTTLE}, {V::VALUE_INT, "Gear", D::BRAKE},
          {V::VALUE_FLOAT, "Speed", D::LAP_DIST}, {V::VALUE_FLOAT, "Speed", D::LAP_DIST_PCT}}},
        // only the last @ separates the type
        {{"Odd@Name@int"}, {{V::VALUE_INT, "Odd@Name", D::THROTTLE}}},
    };
    for (const ParseCase& c : cases) {
        std::vector<VarSetup> list;
        std::string error;
        ASSERT_TRUE(parseVarSetups(c.words, &list, &error)) << error;
        ASSERT_EQ(list.size(), c.expected.size());
        for (size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].valueType, c.expected[i].valueType) << i;
            EXPECT_EQ(list[i].varName, c.expected[i].varName) << i;
            EXPECT_EQ(list[i].slot, c.expected[i].slot) << i;
        }
    }

    // Fifteen variables fill the slots after the time axis, up to ZONE_B.
    std::vector<std::string> fifteen(15, "Speed");
    std::vector<VarSetup> list;
    std::string error;
    ASSERT_TRUE(parseVarSetups(fifteen, &list, &error));
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].slot, static_cast<IDataStrings::VariableEnum>(i + 1));
    EXPECT_EQ(list.back().slot, IDataStrings::ZONE_B);
}

TEST(ParseVarSetups, RejectsWithAOneLineReason)
{
    const std::vector<std::vector<std::string>> bad = {
        std::vector<std::string>(16, "Speed"),
        {"Speed@long"},
        {"Speed@Int"},
        {"Speed@"},
        {"@int"},
        {""},
        {"Throttle", "Brake@single"},
    };
    for (const auto& words : bad) {
        std::vector<VarSetup> list{{VarSetup::VALUE_INT, "Stale", IDataStrings::GEAR}};
        std::string error;
        EXPECT_FALSE(parseVarSetups(words, &list, &error)) << words.back();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_TRUE(list.empty());
    }
}

// Session time at 60 samples a second from 200 s, two float channels, an int
// channel stepping through 1..4 and a double channel.
struct PlotSample {
    double time;
    float alpha, beta;
    int gear;
    double odometer;
};

std::vector<PlotSample> plotSamples(int count)
{
    std::vector<PlotSample> out;
    for (int i = 0; i < count; ++i) {
        const double t = i / 60.0;
        out.push_back({200.0 + t, static_cast<float>(0.3985 + 0.8355 * std::sin(2 * kPi * t / 2.5)),
                       static_cast<float>(0.4 + 0.2 * std::cos(2 * kPi * t / 1.5)), 1 + (i / 45) % 4,
                       12345.678901234 + t});
    }
    return out;
}

bool writePlotRecording(const std::string& path, const std::vector<PlotSample>& samples)
{
    IbtWriter w;
    const int time = w.addVar("SessionTime", irsdk_double);
    const int alpha = w.addVar("Alpha", irsdk_float);
    const int beta = w.addVar("Beta", irsdk_float);
    const int gear = w.addVar("Gear", irsdk_int);
    const int odo = w.addVar("Odometer", irsdk_double);
    const int onTrack = w.addVar("IsOnTrack", irsdk_bool);
    for (const PlotSample& s : samples) {
        w.beginRecord();
        w.set(time, s.time);
        w.set(alpha, s.alpha);
        w.set(beta, s.beta);
        w.setInt(gear, s.gear);
        w.set(odo, s.odometer);
        w.setInt(onTrack, 1);
        w.endRecord();
    }
    return w.writeFile(path);
}

class VariablePlotReplay : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TEST_DISPLAY(); }
    void TearDown() override
    {
        controller.reset();
        source.reset();
        if (!path.empty())
            std::remove(path.c_str());
    }

    void open(const std::vector<std::string>& words, int samples, Qvis::WindowStyle style = {})
    {
        path = tempRecordingPath("varplot");
        ASSERT_TRUE(writePlotRecording(path, plotSamples(samples)));
        std::vector<VarSetup> list;
        std::string error;
        ASSERT_TRUE(parseVarSetups(words, &list, &error)) << error;
        source = std::make_shared<IRData>(path.c_str());
        controller = std::make_unique<VariablePlotController>(source, 10, list, style);
    }

    void passes(int n)
    {
        for (int i = 0; i < n; ++i) {
            source->updateData();
            controller->updateData();
        }
    }

    // Draws a frame and reads it back before it is presented.
    std::unique_ptr<Pixels> frame()
    {
        VariablePlotView& view = *controller->getView();
        view.drawFrame(controller->getModel()->CommonModel<float>::getCurrStartIndex());
        return std::make_unique<Pixels>(view.getWidth(), view.getHeight());
    }

    std::vector<float> limits() { return controller->getView()->getPlot()->getAxes()->getAxesLimits(); }

    std::string path;
    std::shared_ptr<IRData> source;
    std::unique_ptr<VariablePlotController> controller;
};

TEST_F(VariablePlotReplay, EachTypeKeepsItsOwnFamily)
{
    open({"Alpha", "Gear@int", "Odometer@double", "Missing@int"}, 10);
    passes(3);
    VariablePlotModel& m = *controller->getModel();
    const std::vector<PlotSample> s = plotSamples(3);
    EXPECT_EQ(*m.CommonModel<float>::getPtVar(IDataStrings::THROTTLE),
              (std::vector<float>{s[0].alpha, s[1].alpha, s[2].alpha}));
    EXPECT_EQ(*m.CommonModel<int>::getPtVar(IDataStrings::BRAKE), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(*m.CommonModel<double>::getPtVar(IDataStrings::LAP_DIST),
              (std::vector<double>{s[0].odometer, s[1].odometer, s[2].odometer}));
    // A name the recording lacks reads as 0.
    EXPECT_EQ(*m.CommonModel<int>::getPtVar(IDataStrings::LAP_DIST_PCT), (std::vector<int>{0, 0, 0}));
    // Only the float family keeps the time axis.
    EXPECT_EQ(m.CommonModel<float>::getPtVar(IDataStrings::SESSION_TIME)->size(), 3u);
    EXPECT_TRUE(m.CommonModel<int>::getPtVar(IDataStrings::SESSION_TIME)->empty());
    EXPECT_THROW(m.CommonModel<float>::getPtVar(IDataStrings::BRAKE), std::out_of_range);
}

TEST_F(VariablePlotReplay, ColoursStartOverAfterTheTenthLine)
{
    const glm::vec3 cyan(0, 1, 1), white(1, 1, 1), red(1, 0, 0), green(0, 1, 0), yellow(1, 1, 0);
    open(std::vector<std::string>(12, "Alpha"), 10);
    EXPECT_EQ(controller->getView()->lineColours(),
              (std::vector<glm::vec3>{cyan, white, red, green, yellow, cyan, white, red, green, yellow, cyan, white}));
}

// Pixel rows and columns of the axes rectangle, and what lies inside it
// away from its white outline.
struct Inside {
    int left, bottom, right, top;
};

Inside insideOf(const AxesRect& r)
{
    return {static_cast<int>(r.left) + 2, static_cast<int>(r.bottom) + 2, static_cast<int>(r.right) - 2,
            static_cast<int>(r.top) - 2};
}

template <typename F>
Extent extentOf(const Pixels& px, const Inside& in, F match)
{
    return extentOf(px, in.left, in.bottom, in.right + 1, in.top + 1, match);
}

// Glyphs of the text in a band: runs of columns holding any bright pixel.
int glyphsIn(const Pixels& px, int x0, int x1, int y0, int y1)
{
    int runs = 0;
    bool inRun = false;
    for (int x = std::max(0, x0); x < std::min(px.width(), x1); ++x) {
        bool lit = false;
        for (int y = std::max(0, y0); y < std::min(px.height(), y1) && !lit; ++y)
            lit = !isBackground(px.at(x, y), 60);
        if (lit && !inRun)
            ++runs;
        inRun = lit;
    }
    return runs;
}

TEST_F(VariablePlotReplay, LinesScrollInARoundedRangeUnderALegendOfTheirNames)
{
    open({"Alpha", "Beta", "Missing"}, 400);
    testing::internal::CaptureStderr();
    passes(300); // 5 s: time 0 .. 4.983
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "variable plot: the telemetry has no variable Missing; its line stays at 0\n");
    std::unique_ptr<Pixels> px = frame();
    const std::vector<float> l = limits();
    const AxesRect rect = overlayAxesRect(800, 600);
    const auto column = [&](float t) { return rect.left + (t - l[0]) / (l[1] - l[0]) * rect.width(); };
    const auto row = [&](float v) { return rect.bottom + (v - l[2]) / (l[3] - l[2]) * rect.height(); };
    // The data lie in the right half; the legend is in the upper left corner.
    Inside data = insideOf(rect);
    data.left = static_cast<int>(column(0.0f)) - 6;
    Inside legend = insideOf(rect);
    legend.right = data.left - 1;
    legend.bottom = static_cast<int>(rect.top) - 100;

    // x: the last ten seconds up to the newest sample; y: the extremes of
    // the lines (Alpha -0.437 .. 1.234, Missing 0) rounded outward to hundredths.
    const float newest = 299 / 60.0f;
    EXPECT_NEAR(l[0], newest - 10.0f, 1e-4f);
    EXPECT_NEAR(l[1], newest, 1e-4f);
    EXPECT_FLOAT_EQ(l[2], -0.44f);
    EXPECT_FLOAT_EQ(l[3], 1.3f);

    Extent cyan = extentOf(*px, data, isCyan);
    Extent white = extentOf(*px, data, isWhite);
    Extent red = extentOf(*px, data, isRed);
    // Alpha is cyan, Beta white and the missing name a red line at 0; all
    // start half way across and reach the right edge.
    EXPECT_GT(cyan.count, 400);
    EXPECT_GT(white.count, 300);
    for (const Extent* e : {&cyan, &white, &red}) {
        EXPECT_NEAR(e->left, column(0.0f), 3.0);
        EXPECT_GE(e->right, data.right - 2);
    }
    EXPECT_NEAR(cyan.top, row(1.234f), 3.0);
    EXPECT_NEAR(cyan.bottom, row(-0.437f), 3.0);
    EXPECT_NEAR(white.top, row(0.6f), 3.0);
    EXPECT_NEAR(white.bottom, row(0.2f), 3.0);
    EXPECT_NEAR(red.top, row(0.0f), 1.5);
    EXPECT_NEAR(red.bottom, row(0.0f), 1.5);
    // Rounding leaves room above the highest sample.
    EXPECT_GT(rect.top - cyan.top, 15.0);

    // The legend: one name a row, top down in the order of the lines, each
    // in its line's colour, or for the red line a lighter red that reads on
    // the grey, left-aligned over a dark backdrop; the missing one says so,
    // which makes it the longest.
    const auto lightRed = [](Rgb p) { return p.r > 200 && p.g > 110 && p.g < 190 && std::abs(p.g - p.b) < 20; };
    const Extent names[] = {extentOf(*px, legend, isCyan), extentOf(*px, legend, isWhite),
                            extentOf(*px, legend, lightRed)};
    EXPECT_LT(px->at(names[0].left - 2, names[1].bottom).r, 40) << "no backdrop";
    for (const Extent& e : names) {
        EXPECT_GT(e.count, 20);
        EXPECT_NEAR(e.left, names[0].left, 3.0);
    }
    EXPECT_GT(names[0].bottom, names[1].top);
    EXPECT_GT(names[1].bottom, names[2].top);
    EXPECT_GT(names[2].right - names[2].left, 2 * (names[0].right - names[0].left));

    // Labels: "-0.44", "0.00", "0.43", "0.87", "1.30" up the y axis (ticks
    // 0.435 apart), each drawn as that many glyphs left of its tick.
    const int decimals = Qvis::AxesMaths::labelDecimals(l[2], l[3], 5);
    EXPECT_EQ(decimals, 2);
    for (int j = 0; j < 5; ++j) {
        const float value = Qvis::AxesMaths::tickValue(l[2], l[3], j, 5);
        const std::string text = Qvis::AxesMaths::tickLabel(value, decimals);
        const int y = static_cast<int>(rect.bottom + rect.height() * j / 4);
        const int glyphs = glyphsIn(*px, 0, static_cast<int>(rect.left) - 22, y - 12, y + 12);
        EXPECT_EQ(glyphs, static_cast<int>(text.size())) << text;
    }
}

TEST_F(VariablePlotReplay, IntOnlyListAutoscalesItsTimeAxis)
{
    open({"Gear@int"}, 200);
    passes(180); // 3 s: time 0 .. 2.983, gear 1, 2, 3, 4
    std::unique_ptr<Pixels> px = frame();
    const std::vector<float> l = limits();
    const AxesRect rect = overlayAxesRect(800, 600);

    // No float line: x follows the data, rounded outward, instead of the
    // last ten seconds.
    EXPECT_FLOAT_EQ(l[0], 0.0f);
    EXPECT_FLOAT_EQ(l[1], 3.0f);
    EXPECT_FLOAT_EQ(l[2], 1.0f);
    EXPECT_FLOAT_EQ(l[3], 4.0f);

    // The steps span the width, from the bottom edge (gear 1) to the top
    // edge (gear 4, which lies on the upper limit and must stay visible).
    Inside in = insideOf(rect);
    in.bottom = static_cast<int>(rect.bottom) - 1;
    in.top = static_cast<int>(rect.top) + 2;
    in.right = static_cast<int>(rect.right) + 2;
    const Extent cyan = extentOf(*px, in, isCyan);
    const auto column = [&](float t) { return rect.left + (t - l[0]) / (l[1] - l[0]) * rect.width(); };
    const auto row = [&](float v) { return rect.bottom + (v - l[2]) / (l[3] - l[2]) * rect.height(); };
    EXPECT_NEAR(cyan.left, column(0.0f), 2.0);
    EXPECT_NEAR(cyan.right, column(179 / 60.0f), 2.0);
    EXPECT_NEAR(cyan.bottom, row(1.0f), 1.5);
    EXPECT_NEAR(cyan.top, row(4.0f), 1.5);
    Inside topGear{static_cast<int>(column(2.3f)), static_cast<int>(row(4.0f)) - 1,
                   static_cast<int>(column(2.9f)), static_cast<int>(row(4.0f)) + 1};
    EXPECT_GT(extentOf(*px, topGear, isCyan).count, 0.5 * (topGear.right - topGear.left));
}

TEST_F(VariablePlotReplay, ScaleGrowsTheWindowAndDrawsTheLabelsLarger)
{
    // Linear size of the top y label, left of the axes rectangle: the square
    // root of its ink (white coverage over the grey), which anti-aliasing and
    // multisampling leave unchanged, unlike the rows the glyphs touch.
    std::vector<double> sizes;
    for (float scale : {1.0f, 1.5f}) {
        open({"Alpha"}, 100, {"qvisView", scale, 1.0f});
        passes(60);
        std::unique_ptr<Pixels> px = frame();
        EXPECT_EQ(px->width(), static_cast<int>(800 * scale));
        EXPECT_EQ(px->height(), static_cast<int>(600 * scale));
        const AxesRect rect = overlayAxesRect(px->width(), px->height());
        const int top = std::min(px->height(), static_cast<int>(rect.top + 20 * scale));
        double ink = 0.0;
        for (int y = static_cast<int>(rect.top - 20 * scale); y < top; ++y)
            for (int x = 0; x < static_cast<int>(rect.left - 22 * scale); ++x) {
                const Rgb p = px->at(x, y);
                ink += std::clamp(((p.r + p.g + p.b) / 3.0 - 64.0) / 191.0, 0.0, 1.0);
            }
        sizes.push_back(std::sqrt(ink));
    }
    // Glyphs from a font rasterised at the larger size, as large as the scale says.
    EXPECT_NEAR(sizes[1] / sizes[0], 1.5, 0.1) << sizes[0] << " and " << sizes[1];
}

// Until its first sample an overlay says in one line of white text why it has
// none, and the text goes once data flows: here the replay's file is missing,
// then appears. Only the text is white inside the axes of a lone cyan line.
TEST_F(VariablePlotReplay, AWordStandsInTheEmptyPlotUntilTheFirstSample)
{
    path = tempRecordingPath("arriving");
    std::remove(path.c_str());
    source = std::make_shared<IRData>(path.c_str());
    controller = std::make_unique<VariablePlotController>(
        source, 10, std::vector<VarSetup>{{VarSetup::VALUE_FLOAT, "Alpha", IDataStrings::THROTTLE}});
    // One pass of the main loop; the white pixels of the frame it drew.
    auto whiteAfterAPass = [&]() {
        if (source->updateData())
            controller->updateData();
        controller->drawWindow();
        return extentOf(*frame(), insideOf(overlayAxesRect(800, 600)), isWhite).count;
    };
    EXPECT_GT(whiteAfterAPass(), 100) << "no text without a file";
    ASSERT_TRUE(writePlotRecording(path, plotSamples(60)));
    EXPECT_EQ(whiteAfterAPass(), 0) << "the text stays once data flows";
}

} // namespace
