// Text layout from glyph metrics: alignments, widths, pen advance, missing
// characters and line feeds, on a made-up glyph table.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "font.h"

using namespace Qvis;

namespace {

// Glyph: texture, size (w, h), bearing (x, top), advance in 1/64 px.
std::map<char, Character> table()
{
    std::map<char, Character> t;
    t['\0'] = {9, {20, 30}, {3, 30}, 26 * 64};
    t['1'] = {1, {10, 34}, {4, 34}, 27 * 64 + 40};
    t['0'] = {2, {22, 35}, {2, 34}, 27 * 64};
    t['g'] = {3, {20, 36}, {1, 26}, 24 * 64};
    t[' '] = {4, {0, 0}, {0, 0}, 13 * 64};
    return t;
}

std::vector<GlyphQuad> lay(const std::string& text, float x, float y, float scale, int alignment)
{
    std::map<char, Character> t = table();
    std::vector<GlyphQuad> q;
    TextLayout::layout(t, text, x, y, scale, alignment, q);
    return q;
}

} // namespace

TEST(TextLayout, NothingForEmptyTextOrUnknownAlignment)
{
    for (int a : {0, 1, 2, 3})
        EXPECT_TRUE(lay("", 5, 5, 1, a).empty());
    EXPECT_TRUE(lay("10", 5, 5, 1, 4).empty());
    EXPECT_TRUE(lay("10", 5, 5, 1, -1).empty());
}

TEST(TextLayout, LeftAlignedSingleLineSitsOnTheBaseline)
{
    std::vector<GlyphQuad> top = lay("10g", 100, 50, 1, 0);
    std::vector<GlyphQuad> bottom = lay("10g", 100, 50, 1, 1);
    ASSERT_EQ(top.size(), 3u);
    for (size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(top[i].xpos, bottom[i].xpos);
        EXPECT_EQ(top[i].ypos, bottom[i].ypos);
    }
    EXPECT_FLOAT_EQ(top[0].xpos, 104);      // bearing 4
    EXPECT_FLOAT_EQ(top[0].ypos, 50);       // no descent
    EXPECT_FLOAT_EQ(top[1].xpos, 100 + 27 + 2); // whole-pixel advance, fraction dropped
    EXPECT_FLOAT_EQ(top[1].ypos, 49);       // one pixel below the baseline
    EXPECT_FLOAT_EQ(top[2].ypos, 40);       // descender: 36 - 26 below
    EXPECT_EQ(top[2].textureID, 3u);
    EXPECT_FLOAT_EQ(top[2].w, 20);
    EXPECT_FLOAT_EQ(top[2].h, 36);
}

TEST(TextLayout, HorizontalCentreUsesWidthsPlusBearingsNotAdvances)
{
    // W = (10 + 4) + (22 + 2) = 38, b0 = -3.
    std::vector<GlyphQuad> q = lay("10", 200, 80, 1, 2);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[0].xpos, 200 - 19 + 4 - 3);
    EXPECT_FLOAT_EQ(q[1].xpos, 200 + 27 - 19 + 2 - 3);
    EXPECT_FLOAT_EQ(q[0].ypos, 80);

    // Both glyphs lowered by half of the line's height (the taller "0": 35),
    // so they keep one baseline.
    std::vector<GlyphQuad> v = lay("10", 200, 80, 1, 3);
    EXPECT_FLOAT_EQ(v[0].xpos, q[0].xpos);
    EXPECT_FLOAT_EQ(v[0].ypos, 80 - 17.5f);
    EXPECT_FLOAT_EQ(v[1].ypos, 79 - 17.5f);
}

TEST(TextLayout, ScaleHalvesQuadsAndWholePixelAdvance)
{
    std::vector<GlyphQuad> q = lay("10", 0, 0, 0.5f, 0);
    EXPECT_FLOAT_EQ(q[0].w, 5);
    EXPECT_FLOAT_EQ(q[0].h, 17);
    EXPECT_FLOAT_EQ(q[1].xpos, 13.5f + 1); // advance 27 px x 0.5, bearing 2 x 0.5
}

TEST(TextLayout, SpaceMovesThePenAndUnknownBytesDoNot)
{
    std::map<char, Character> t = table();
    std::vector<GlyphQuad> q;
    TextLayout::layout(t, "1 0", 0, 0, 1, 0, q);
    EXPECT_FLOAT_EQ(q[2].xpos, 27 + 13 + 2);
    EXPECT_EQ(q[1].w, 0);

    std::string utf8 = "1\xC3\xA9" "0"; // two bytes above 127 between the glyphs
    TextLayout::layout(t, utf8, 0, 0, 1, 0, q);
    ASSERT_EQ(q.size(), 4u);
    EXPECT_FLOAT_EQ(q[3].xpos, 27 + 2);
    EXPECT_EQ(q[1].w, 0);
    EXPECT_EQ(q[1].textureID, 0u);
    EXPECT_EQ(t.count(static_cast<char>(0xC3)), 1u); // lookups add zero records
    EXPECT_EQ(t[static_cast<char>(0xC3)].advance, 0u);
}

TEST(TextLayout, LineFeedsStackLinesAndRestartThePen)
{
    // Line heights: "1g" 36, "0" 35. F = 36, T = 36.
    std::vector<GlyphQuad> top = lay("1g\n0", 10, 100, 1, 0);
    ASSERT_EQ(top.size(), 3u);
    EXPECT_FLOAT_EQ(top[0].ypos, 100 - 36);
    EXPECT_FLOAT_EQ(top[2].ypos, 100 - 1 - 45 - 36); // 1.25 x 36 below, F on top
    EXPECT_FLOAT_EQ(top[2].xpos, 10 + 2);

    std::vector<GlyphQuad> bottom = lay("1g\n0", 10, 100, 1, 1);
    EXPECT_FLOAT_EQ(bottom[0].ypos, 100 + 36);
    EXPECT_FLOAT_EQ(bottom[2].ypos, 100 - 1 - 45 + 36);

    // Each centred line is centred by its own width.
    std::vector<GlyphQuad> centred = lay("1\n00", 0, 0, 1, 2);
    EXPECT_FLOAT_EQ(centred[0].xpos, -7 + 4 - 3);
    EXPECT_FLOAT_EQ(centred[1].xpos, -24 + 2 - 3);
}
