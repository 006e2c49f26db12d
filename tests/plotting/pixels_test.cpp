// Drawing checked on real pixels: a GL 3.3 core context on an X server with
// Mesa, frames read back with glReadPixels. Window 400 x 300, so the default
// axes rectangle spans columns 72..380 and rows 54..270.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "Line2D2CircularVecs.h"
#include "ShadedLine2D2CircularVecs.h"
#include "font.h"
#include "gl_fixture.h"
#include "test_display.h"
#include "plot.h"
#include "temp_folder.h"
#include "transforms.h"
#include "window_capture.h"

using namespace Qvis;

namespace {

const int W = 400;
const int H = 300;
const Rgb grey{64, 64, 64};

// A plot over the whole window with bare axes: no labels, outlines or origin lines.
std::shared_ptr<Plot> barePlot(std::shared_ptr<IWindow> window)
{
    auto plot = std::make_shared<Plot>(0.0f, 0.0f, 1.0f, 1.0f, window);
    plot->setPlotOutlineOn(false);
    auto axes = plot->getAxes();
    axes->setAxesLabelsOn(false);
    axes->setAxesAreaOutlineOn(false);
    axes->setXYAxesOn(false);
    return plot;
}

Rgb blend(glm::vec3 c, float a, Rgb under)
{
    return {byteOf(a * c.r + (1 - a) * under.r / 255.0f), byteOf(a * c.g + (1 - a) * under.g / 255.0f),
            byteOf(a * c.b + (1 - a) * under.b / 255.0f)};
}

// Rows of column x, within [y0, y1), that have the given colour.
int rowsWithColour(const Pixels& p, int x, int y0, int y1, Rgb colour)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        n += p.is(x, y, colour, 12) ? 1 : 0;
    return n;
}

// A scratch folder that the test works in; the old working folder is restored after.
class ScratchDir {
public:
    ScratchDir() : old(std::filesystem::current_path().string()), path(folder.path())
    {
        EXPECT_FALSE(path.empty());
        std::filesystem::current_path(path);
    }
    ~ScratchDir() { std::filesystem::current_path(old); }
    TempFolder folder{"qvis"};
    std::string old;
    std::string path;
};

} // namespace

TEST_F(GlTest, AxesRectangleSitsAtItsWindowFractionsAndClipsSeries)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    plot->getAxes()->updateAxesLimits(0, 1, 0, 1, true);
    std::vector<float> x{-10, 10}, y{5, 5};
    auto area = std::make_shared<ShadedLine2D2CircularVecs>(&x, &y);
    plot->addShadedLine(area);
    area->updateInternalData(0);
    plot->Draw();
    Pixels p(W, H);

    const Rgb white{255, 255, 255};
    // Columns at 0.18 and 0.95 of 400, rows at 0.18 and 0.90 of 300, row 140 free of ticks.
    EXPECT_TRUE(p.is(70, 140, grey));
    EXPECT_TRUE(p.is(74, 140, white));
    EXPECT_TRUE(p.is(378, 140, white));
    EXPECT_TRUE(p.is(382, 140, grey));
    EXPECT_TRUE(p.is(150, 52, grey));
    EXPECT_TRUE(p.is(150, 56, white));
    EXPECT_TRUE(p.is(150, 268, white));
    EXPECT_TRUE(p.is(150, 272, grey));
    // Nothing of the series lies outside the rectangle but the tick marks.
    EXPECT_EQ(p.countNot(0, 0, 62, H, grey), 0);
    EXPECT_EQ(p.countNot(0, 272, W, H, grey), 0);
    EXPECT_EQ(p.countNot(382, 0, W, H, grey), 0);
}

TEST_F(GlTest, ShadedAreasFillToZeroBlendedOverWhatLiesBeneath)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    plot->getAxes()->updateAxesLimits(0, 1, -1, 1, true);
    // y = 0 lies on row 162, y = 0.5 on row 216, y = 0.25 on 189, y = -0.5 on 108.
    std::vector<float> x{-1, 2}, throttle{0.5f, 0.5f}, brake{0.25f, 0.25f}, below{-0.5f, -0.5f};
    const glm::vec3 green(0.0f, 0.9f, 0.0f), red(0.9f, 0.0f, 0.0f);
    auto a = std::make_shared<ShadedLine2D2CircularVecs>(&x, &throttle);
    auto b = std::make_shared<ShadedLine2D2CircularVecs>(&x, &brake);
    auto c = std::make_shared<ShadedLine2D2CircularVecs>(&x, &below);
    for (auto& s : {a, b, c}) {
        s->setOpacityRatio(0.5f);
        s->updateInternalData(0);
        plot->addShadedLine(s);
    }
    a->setShadeColour(green);
    b->setShadeColour(red);
    c->setShadeColour(red);
    plot->Draw();
    Pixels p(W, H);

    Rgb greenOverGrey = blend(green, 0.5f, grey);
    Rgb redOverGreen = blend(red, 0.5f, greenOverGrey);
    EXPECT_TRUE(p.is(200, 230, grey));
    EXPECT_TRUE(p.is(200, 205, greenOverGrey)) << p.at(200, 205).r << " " << p.at(200, 205).g;
    EXPECT_TRUE(p.is(200, 175, redOverGreen)) << p.at(200, 175).r << " " << p.at(200, 175).g;
    EXPECT_TRUE(p.is(200, 130, blend(red, 0.5f, grey)));
    EXPECT_TRUE(p.is(200, 100, grey));
    EXPECT_EQ(greenOverGrey.g, 147);
}

TEST_F(GlTest, ShadedAreaFollowsItsHistoryAsItGrowsChangesAndShrinks)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    // x = 0..4 spans columns 72..380 (77 per unit), y = 0..1 rows 54..270.
    plot->getAxes()->updateAxesLimits(0, 4, 0, 1, true);
    std::vector<float> x{0, 1}, y{1, 1};
    auto area = std::make_shared<ShadedLine2D2CircularVecs>(&x, &y);
    plot->addShadedLine(area);
    const Rgb white{255, 255, 255};
    auto frame = [&] {
        window->preLoopDraw(true);
        area->updateInternalData(0);
        plot->Draw();
        return Pixels(W, H);
    };

    Pixels two = frame();
    EXPECT_TRUE(two.is(110, 162, white));  // x = 0.5
    EXPECT_TRUE(two.is(264, 162, grey));   // x = 2.5, no sample there yet

    x = {0, 1, 2, 3};
    y = {1, 1, 1, 1};
    Pixels four = frame();
    EXPECT_TRUE(four.is(264, 162, white)) << "the new segments are filled";

    y = {0.5f, 0.5f, 0.5f, 0.5f};
    Pixels lower = frame();
    EXPECT_TRUE(lower.is(264, 216, grey)) << "same size, new values";
    EXPECT_TRUE(lower.is(264, 108, white));

    x = {0, 1};
    y = {0.5f, 0.5f};
    Pixels shrunk = frame();
    EXPECT_TRUE(shrunk.is(264, 108, grey)) << "no segment left beyond x = 1";
    EXPECT_TRUE(shrunk.is(110, 108, white));
}

// Over several runs of segments every column from the first x to the last is
// filled, once; a run in which the time goes back (a new session, a replay
// started again) draws nothing back over the older samples.
TEST_F(GlTest, ShadedAreaOverManyRunsFillsEveryColumnOnceAndNothingWhereTimeWentBack)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    // x = 0..4 spans columns 72..380 (77 per unit), y = 0..1 rows 54..270.
    plot->getAxes()->updateAxesLimits(0, 4, 0, 1, true);
    std::vector<float> x(49), y(49, 0.5f);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(i) / 12.0f;
    auto area = std::make_shared<ShadedLine2D2CircularVecs>(&x, &y);
    area->setShadeColour({1, 1, 1});
    area->setOpacityRatio(0.5f);
    plot->addShadedLine(area);
    auto frame = [&] {
        window->preLoopDraw(true);
        area->updateInternalData(0);
        plot->Draw();
        return Pixels(W, H);
    };
    const Rgb once = blend({1, 1, 1}, 0.5f, grey);

    const Pixels rising = frame();
    for (int column = 73; column < 380; ++column)
        ASSERT_TRUE(rising.is(column, 108, once)) << "column " << column;

    // The third run's last samples go back to x = 1..1.3.
    for (size_t i = 40; i < x.size(); ++i)
        x[i] = 1.0f + 0.05f * static_cast<float>(i - 40);
    const Pixels back = frame();
    for (int column = 73; column < 277; ++column) // x < 2.67, where the third run begins
        ASSERT_TRUE(back.is(column, 108, once)) << "column " << column;
}

TEST_F(GlTest, LineWidthAppliesToItsSeriesOnly)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    plot->getAxes()->updateAxesLimits(0, 1, -1, 1, true);
    std::vector<float> x{-1, 2}, zero{0, 0}, half{0.5f, 0.5f};
    auto wide = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &zero);
    wide->setLineColour({1, 0, 0});
    wide->setLineWidth(3);
    auto thin = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &half);
    thin->setLineColour({0, 1, 0});
    plot->addLine(wide);
    plot->addLine(thin);
    wide->updateInternalData(0);
    thin->updateInternalData(0);
    plot->Draw();
    Pixels p(W, H);

    EXPECT_EQ(rowsWithColour(p, 200, 150, 175, {255, 0, 0}), 3);
    EXPECT_EQ(rowsWithColour(p, 200, 205, 230, {0, 255, 0}), 1);
    // The x tick marks drawn after the series are one pixel wide; the middle
    // one stands at column 226, below the rectangle.
    int tickColumns = 0;
    for (int x0 = 215; x0 < 238; ++x0)
        tickColumns += p.is(x0, 50, {255, 255, 255}, 12) ? 1 : 0;
    EXPECT_EQ(tickColumns, 1);
    EXPECT_FLOAT_EQ([] { float w = 0; glGetFloatv(GL_LINE_WIDTH, &w); return w; }(), 1.0f);
}

TEST_F(GlTest, AutoscaleRoundsOutwardFromPlainLinesOnly)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    std::vector<float> x{3.14159f, 99.5f}, y{-1.5f, 250.0f}, far{-1000, 1000};
    auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
    auto area = std::make_shared<ShadedLine2D2CircularVecs>(&far, &far);
    plot->addLine(line);
    plot->addShadedLine(area);
    line->updateInternalData(0);
    area->updateInternalData(0);
    plot->Draw();
    std::vector<float> l = plot->getAxes()->getAxesLimits();
    EXPECT_NEAR(l[0], 3.1f, 1e-5);
    EXPECT_NEAR(l[1], 100.0f, 1e-5);
    EXPECT_NEAR(l[2], -1.5f, 1e-5);
    EXPECT_NEAR(l[3], 250.0f, 1e-5);

    // Without any plain line the limits stay as they were.
    auto empty = barePlot(window);
    empty->getAxes()->updateAxesLimits(2, 3, 4, 5, false);
    empty->Draw();
    EXPECT_EQ(empty->getAxes()->getAxesLimits(), (std::vector<float>{2, 3, 4, 5}));
}

TEST_F(GlTest, EqualAxesMeasureTheAxesRectangleInsideItsPlot)
{
    // A plot that does not fill the window, as the map and variable views use.
    openWindow(800, 600);
    auto plot = std::make_shared<Plot>(0.15f, 0.1f, 0.8f, 0.85f, window);
    auto axes = plot->getAxes();
    axes->setPositionSize(0, 0, 1, 1);
    axes->setAutoScaleRound(false);
    axes->setEqualAxes(true);
    std::vector<float> x{0, 100}, y{0, 100};
    auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
    plot->addLine(line);
    line->updateInternalData(0);
    plot->Draw();
    // The axes rectangle is 0.8 x 0.97 of 800 wide and 0.85 x 0.97 of 600 high.
    const std::vector<float> l = axes->getAxesLimits();
    const double perPxX = (l[1] - l[0]) / (800 * 0.8 * 0.97);
    const double perPxY = (l[3] - l[2]) / (600 * 0.85 * 0.97);
    EXPECT_NEAR(perPxX / perPxY, 1.0, 1e-4) << l[0] << " " << l[1] << " " << l[2] << " " << l[3];
}

// A line on any of the four limits stays visible, in a translucent window and
// in an opaque one: a rasteriser may put it on the row or column just outside
// the rectangle's pixel edges.
TEST_F(GlTest, LinesOnTheLimitsStayVisible)
{
    const int W = 400, H = 300;
    for (bool translucent : {true, false}) {
        SCOPED_TRACE(translucent ? "translucent framebuffer" : "opaque framebuffer");
        openWindow(W, H, translucent);
        auto plot = barePlot(window);
        plot->getAxes()->updateAxesLimits(0, 1, 0, 1, true);
        // Around the rectangle: along the bottom, up the right, along the top, down the left.
        std::vector<float> x{0, 1, 1, 0, 0}, y{0, 0, 1, 1, 0};
        auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
        line->setLineColour(glm::vec3(1, 1, 0));
        plot->addLine(line);
        line->updateInternalData(0);
        plot->Draw();
        Pixels p(W, H);
        const Rgb yellow{255, 255, 0};
        auto any = [&](int x0, int y0, int x1, int y1) {
            for (int yy = y0; yy < y1; ++yy)
                for (int xx = x0; xx < x1; ++xx)
                    if (p.is(xx, yy, yellow, 40))
                        return true;
            return false;
        };
        // The rectangle spans 0.18 to 0.95 of 400 across and 0.18 to 0.90 of 300 up.
        EXPECT_TRUE(any(150, 267, 250, 273)) << "the line on the top limit was clipped away";
        EXPECT_TRUE(any(377, 120, 383, 180)) << "the line on the right limit was clipped away";
        EXPECT_TRUE(any(150, 51, 250, 57)) << "the line on the bottom limit was clipped away";
        EXPECT_TRUE(any(69, 120, 75, 180)) << "the line on the left limit was clipped away";
    }
}

TEST_F(GlTest, EqualAxesWidenTheRightAxis)
{
    openWindow(400, 200);
    auto plot = barePlot(window);
    auto axes = plot->getAxes();
    axes->setPositionSize(0, 0, 1, 1);
    axes->setMajorTickSize(0);
    axes->setAutoScaleRound(false);
    axes->setEqualAxes(true);
    std::vector<float> x{0, 10}, y{0, 10};
    auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
    plot->addLine(line);
    line->updateInternalData(0);
    plot->Draw();
    EXPECT_EQ(axes->getAxesLimits(), (std::vector<float>{-5, 15, 0, 10}));

    // The diagonal keeps 45 degrees: it runs from column 100 to column 300.
    Pixels p(400, 200);
    EXPECT_EQ(p.countNot(0, 0, 96, 200, grey), 0);
    EXPECT_EQ(p.countNot(304, 0, 400, 200, grey), 0);
    EXPECT_GT(p.countNot(195, 95, 205, 105, grey), 0);
}

TEST_F(GlTest, EveryStorageTypeDrawsAtItsDataPosition)
{
    openWindow(W, H);
    std::vector<double> xd{1, 3}, yd{2, 2};
    std::vector<float> xf{1, 3}, yf{2, 2};
    std::vector<int> xi{1, 3}, yi{2, 2};
    std::vector<std::shared_ptr<ILine2D>> lines = {
        std::make_shared<Line2D2CircularVecs<double, double>>(&xd, &yd),
        std::make_shared<Line2D2CircularVecs<double, float>>(&xd, &yf),
        std::make_shared<Line2D2CircularVecs<double, int>>(&xd, &yi),
        std::make_shared<Line2D2CircularVecs<float, double>>(&xf, &yd),
        std::make_shared<Line2D2CircularVecs<float, float>>(&xf, &yf),
        std::make_shared<Line2D2CircularVecs<float, int>>(&xf, &yi),
        std::make_shared<Line2D2CircularVecs<int, double>>(&xi, &yd),
        std::make_shared<Line2D2CircularVecs<int, float>>(&xi, &yf),
        std::make_shared<Line2D2CircularVecs<int, int>>(&xi, &yi),
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        window->preLoopDraw(true);
        auto plot = barePlot(window);
        plot->getAxes()->updateAxesLimits(0, 4, 0, 4, true);
        lines[i]->setLineColour({1, 1, 0});
        plot->addLine(lines[i]);
        plot->Draw();
        Pixels p(W, H);
        // Horizontal segment at y = 2 (row 162) from x = 1 to 3 (columns 149..303).
        int lit = p.countNot(72, 150, 380, 175, grey);
        EXPECT_TRUE(p.is(226, 161, {255, 255, 0}) || p.is(226, 162, {255, 255, 0})) << "pair " << i;
        EXPECT_GE(lit, 150) << "pair " << i;
        EXPECT_LE(lit, 160) << "pair " << i;
        EXPECT_EQ(p.countNot(72, 56, 145, 268, grey), 0) << "pair " << i;
    }
}

TEST_F(GlTest, PosNegLinesDarkenBelowZero)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    plot->getAxes()->updateAxesLimits(0, 1, -1, 1, true);
    std::vector<float> x{0.5f, 0.5f}, y{-0.8f, 0.8f};
    auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
    line->setLineColour({1, 1, 0});
    plot->addPosNegLine(line);
    plot->Draw();
    Pixels p(W, H);
    auto lit = [&](int row, Rgb c) {
        for (int col = 222; col < 231; ++col)
            if (p.is(col, row, c, 3))
                return true;
        return false;
    };
    EXPECT_TRUE(lit(200, {255, 255, 0}));
    EXPECT_TRUE(lit(120, {128, 128, 0}));
}

TEST_F(GlTest, TickLabelsShowOneDecimalValuesAtTheirAnchors)
{
    openWindow(W, H);
    auto plot = barePlot(window);
    auto axes = plot->getAxes();
    axes->setAxesLabelsOn(true);
    axes->setMajorTickSize(0); // rectangle (0.15, 0.15, 0.8, 0.75), marks of zero length
    axes->updateAxesLimits(0, 10, -1, 1, true);
    plot->Draw();
    Pixels labels(W, H);
    EXPECT_GT(labels.countNot(0, 0, W, 45, grey), 200); // x labels below the rectangle
    EXPECT_GT(labels.countNot(0, 45, 60, H, grey), 200); // y labels left of it

    // The same strings drawn directly at the documented anchors, in window
    // pixels: x labels centred under their ticks with their baseline 50
    // below the rectangle, y labels centred on theirs 62 left of it.
    window->preLoopDraw(true);
    Shader* text = axes->getTextShaderPt();
    text->Use();
    glm::mat4 t = glm::ortho(0.0f, float(W), 0.0f, float(H));
    glUniformMatrix4fv(text->uniforms().textProjection, 1, GL_FALSE, glm::value_ptr(t));
    GLFont font(defaultFontPath());
    const char* xs[] = {"0.0", "2.5", "5.0", "7.5", "10.0"};
    const char* ys[] = {"-1.0", "-0.5", "0.0", "0.5", "1.0"};
    const float left = 0.15f * W, bottom = 0.15f * H, width = 0.8f * W, height = 0.75f * H;
    for (int i = 0; i < 5; ++i) {
        font.RenderText(text, xs[i], left + width * i / 4.0f, bottom - 50.0f, 1.0f, {1, 1, 1}, 2);
        font.RenderText(text, ys[i], left - 62.0f, bottom + height * i / 4.0f, 1.0f, {1, 1, 1}, 3);
    }
    Pixels expected(W, H);
    EXPECT_EQ(labels.raw(), expected.raw());
}

TEST_F(GlTest, CentredAlignmentsCentreOnTheAnchorOnOneBaseline)
{
    openWindow(W, H);
    Plot plot(0, 0, 1, 1, window);
    plot.setupFontShader(W, H); // text in window pixels
    Shader* text = plot.getAxes()->getTextShaderPt();
    GLFont font(defaultFontPath());
    ASSERT_GT(font.glyphCount(), 90u);

    struct Box {
        int x0 = 1 << 30, x1 = -1, y0 = 1 << 30, y1 = -1;
    };
    auto litBox = [&](int alignment) {
        window->preLoopDraw(true);
        font.RenderText(text, "10", 200, 150, 1.0f, {1, 1, 1}, alignment);
        Pixels p(W, H);
        Box b;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!p.is(x, y, grey, 40)) {
                    b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
                    b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
                }
        return b;
    };
    Box left = litBox(0);
    EXPECT_GE(left.x0, 200);
    EXPECT_LE(left.x0, 210);
    EXPECT_NEAR(left.y0, 150, 2); // digits sit on the baseline
    Box h = litBox(2);
    EXPECT_NEAR((h.x0 + h.x1) / 2.0, 200, 4);
    EXPECT_NEAR(h.y0, 150, 2);
    Box v = litBox(3);
    EXPECT_NEAR((v.x0 + v.x1) / 2.0, 200, 4);
    EXPECT_NEAR((v.y0 + v.y1) / 2.0, 150, 2);
    Box none = litBox(4);
    EXPECT_EQ(none.x1, -1);

    // A y label centred on its tick keeps one baseline: the point's bottom on
    // the digits' baseline and the minus at their mid-height, the digits
    // centred on the anchor.
    window->preLoopDraw(true);
    font.RenderText(text, "-0.2", 200, 150, 1.0f, {1, 1, 1}, 3);
    Pixels p(W, H);
    std::vector<Box> glyphs; // runs of lit columns, left to right
    for (int x = 0; x < W; ++x) {
        Box c{x, x};
        for (int y = 0; y < H; ++y)
            if (!p.is(x, y, grey, 40))
                c.y0 = std::min(c.y0, y), c.y1 = std::max(c.y1, y);
        if (c.y1 >= 0 && (glyphs.empty() || glyphs.back().x1 != x - 1))
            glyphs.push_back(c);
        else if (c.y1 >= 0)
            glyphs.back() = {glyphs.back().x0, x, std::min(glyphs.back().y0, c.y0), std::max(glyphs.back().y1, c.y1)};
    }
    ASSERT_EQ(glyphs.size(), 4u);
    const Box &minus = glyphs[0], &zero = glyphs[1], &point = glyphs[2], &two = glyphs[3];
    EXPECT_NEAR(point.y0, two.y0, 1);
    EXPECT_NEAR(zero.y0, two.y0, 2); // the round 0 overshoots the baseline a little
    const double digitsMiddle = (two.y0 + two.y1) / 2.0;
    EXPECT_NEAR((minus.y0 + minus.y1) / 2.0, digitsMiddle, 0.15 * (two.y1 - two.y0));
    EXPECT_NEAR(digitsMiddle, 150, 2);
}

TEST_F(GlTest, MissingShaderFolderIsReportedAndDrawingGoesOn)
{
    openWindow(W, H);
    ScratchDir dir;
    testing::internal::CaptureStdout();
    auto plot = std::make_shared<Plot>(0, 0, 1, 1, window);
    std::vector<float> x{0, 1}, y{0, 1};
    auto line = std::make_shared<Line2D2CircularVecs<float, float>>(&x, &y);
    plot->addLine(line);
    plot->Draw();
    std::string out = testing::internal::GetCapturedStdout();
    // The programs that drew (labels, lines) say so; those nothing drew with
    // were never built.
    for (const char* name : {"font", "plot2d", "plotPosNeg2d", "plotTransparent2d"}) {
        std::string link = std::string("ERROR::SHADER::PROGRAM::LINKING_FAILED\nShaders/") + name +
                           ".vs, Shaders/" + name + ".frag\n";
        const bool used = name[0] == 'f' || name == std::string("plot2d");
        EXPECT_EQ(out.find(link) != std::string::npos, used) << name << "\n" << out;
    }
    EXPECT_EQ(out.find("FILE_NOT_SUCCESFULLY_READ"), std::string::npos);
}

TEST_F(GlTest, VertexSyntaxErrorIsReportedWithItsLogThenTheLink)
{
    openWindow(W, H);
    ScratchDir dir;
    std::string frag = dir.old + "/Shaders/plot2d.frag";
    std::ofstream("bad.vs") << "#version 330 core\nvoid main() { gl_Position = vec4(1.0) }\n";
    Shader s("bad.vs", frag.c_str());
    testing::internal::CaptureStdout();
    s.Use(); // the program is built when first used
    std::string out = testing::internal::GetCapturedStdout();
    std::string tail = "bad.vs, " + frag + "\n";
    size_t v = out.find("ERROR::SHADER::VERTEX::COMPILATION_FAILED\n" + tail);
    size_t l = out.find("ERROR::SHADER::PROGRAM::LINKING_FAILED\n" + tail);
    EXPECT_NE(v, std::string::npos) << out;
    EXPECT_NE(l, std::string::npos) << out;
    EXPECT_LT(v, l);
    EXPECT_GT(l - v, 60u + tail.size()) << "the compiler's log comes between";
    EXPECT_EQ(out.find("FRAGMENT"), std::string::npos);
}

TEST_F(GlTest, UnloadableFontIsReportedAndDrawsNothing)
{
    openWindow(W, H);
    testing::internal::CaptureStdout();
    GLFont font("/nonexistent/font.ttf");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "ERROR::FREETYPE: Failed to load font\n");
    EXPECT_EQ(font.glyphCount(), 0u);

    Plot plot(0, 0, 1, 1, window);
    window->preLoopDraw(true);
    font.RenderText(plot.getAxes()->getTextShaderPt(), "10.0", 100, 100, 1.0f, {1, 1, 1}, 0);
    Pixels p(W, H);
    EXPECT_EQ(p.countNot(0, 0, W, H, grey), 0);
}

// On a composited desktop the opacity lets the desktop show through: over a
// magenta backdrop, the overlays' grey at a quarter of the opacity leaves the
// screen much nearer to magenta than fully opaque.
TEST_F(GlTest, LowerOpacityLetsMoreOfTheDesktopThrough)
{
    if (captureScreen().width == 0)
        DISPLAY_MISSING("the screen as composited is read from the suite's own X server (run under ctest)");
    const int x = 100, y = 100, w = 200, h = 100;
    Qvis::Window::setNextPosition(x, y);
    openWindow(w, h, false);
    window->setBackgroundColor(1.0f, 0.0f, 1.0f, 1.0f);
    // Distance from magenta of the screen at the overlay's centre once two
    // captures agree; both windows draw again meanwhile, since a frame drawn
    // before the server has mapped a window is lost. -1 without a compositor.
    auto distanceFromBackdrop = [&](float opacity) {
        Qvis::Window::setNextPosition(x, y);
        TestWindow overlay(w, h, true, true, {"qvisView", 1.0f, opacity});
        overlay.setBackgroundColor(bg[0], bg[1], bg[2], bg[3]);
        const bool composited = glfwGetWindowAttrib(overlay.getWindow(), GLFW_TRANSPARENT_FRAMEBUFFER);
        Picture::Pixel p{-1, -1, -1}, last{-2, -2, -2};
        for (int tries = 0; composited && tries < 50 && (tries < 3 || p.r != last.r || p.g != last.g || p.b != last.b);
             ++tries) {
            for (TestWindow* win : {window.get(), &overlay}) {
                win->preLoopDraw(true);
                win->postLoopDraw();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const Picture screen = captureScreen();
            last = p;
            if (screen.width >= x + w && screen.height >= y + h)
                p = screen.at(x + w / 2, y + h / 2);
        }
        glfwDestroyWindow(overlay.getWindow());
        return composited ? std::abs(p.r - 255) + p.g + std::abs(p.b - 255) : -1;
    };
    const int opaque = distanceFromBackdrop(1.0f);
    if (opaque < 0)
        DISPLAY_MISSING("no compositing manager: no window can be translucent");
    const int quarter = distanceFromBackdrop(0.25f);
    EXPECT_GT(opaque, 3 * quarter) << "opacity 1: " << opaque << ", opacity 0.25: " << quarter;
}
