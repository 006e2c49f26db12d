// Text drawn glyph by glyph from a TrueType font rasterised with FreeType into
// one single-channel texture per character code 0..127, at 48 pixels times a
// size factor, so that text drawn larger comes from larger bitmaps.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "shader.h"

namespace Qvis {

struct Character {
    unsigned int textureID = 0;
    glm::ivec2 size{0, 0};
    glm::ivec2 bearing{0, 0};
    unsigned int advance = 0;
};

// One glyph placed by a text layout: its record, lower-left corner and size.
struct GlyphQuad {
    unsigned int textureID;
    float xpos;
    float ypos;
    float w;
    float h;
};

namespace TextLayout {

// Lays text out with the given alignment (0..3) into quads, without GL.
// Alignment 3 centres each line on y: the line, not each glyph, is lowered by
// half of its height, so that its glyphs keep one baseline.
// Missing characters get an all-zero record in the table, as lookups do.
// Any other alignment yields no quads.
void layout(std::map<char, Character>& characters, const std::string& text, float x, float y,
            float scale, int alignment, std::vector<GlyphQuad>& quads);

// The width the centred layouts give a line of text: the sum of its glyphs'
// widths and left bearings, scaled.
float lineWidth(std::map<char, Character>& characters, const std::string& text, float scale);

} // namespace TextLayout

// Where the label font comes from: an Arial file, or a metric-compatible face.
const char* defaultFontPath();

class GLFont {
public:
    // Glyphs are rasterised at 48 x pixelScale pixels (at least one).
    explicit GLFont(const char* fontPath, float pixelScale = 1.0f);

    void RenderText(Shader* shader, const std::string& text, float x, float y, float scale,
                    glm::vec3 colour, int alignment);

    void drawLeftTopAligned(const std::string& text, float x, float y, float scale);
    void drawLeftBottomAligned(const std::string& text, float x, float y, float scale);
    void drawHCentreAligned(const std::string& text, float x, float y, float scale);
    void drawVCentreAligned(const std::string& text, float x, float y, float scale);

    // The width of a line of text as the centred layouts measure it.
    float textWidth(const std::string& text, float scale) { return TextLayout::lineWidth(characters, text, scale); }

    // Number of glyph records, for callers that check the font loaded.
    size_t glyphCount() const { return characters.size(); }

private:
    void loadGlyphs(const char* fontPath, unsigned int pixelHeight);
    void drawLayout(const std::string& text, float x, float y, float scale, int alignment);

    std::map<char, Character> characters;
    unsigned int VAO = 0;
    unsigned int VBO = 0;
    std::vector<GlyphQuad> quads;
};

} // namespace Qvis
