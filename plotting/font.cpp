#include "font.h"

#include <cmath>
#include <iostream>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <glad/gl.h>

namespace Qvis {

namespace TextLayout {

namespace {

struct LineMetrics {
    float width = 0.0f;  // sum of (size.x + bearing.x) x scale over the line's glyphs
    float height = 0.0f; // tallest scaled glyph of the line
};

// Measuring walk: one width and height per line; a line feed closes a line.
void measure(std::map<char, Character>& characters, const std::string& text, float scale,
             std::vector<LineMetrics>& lines)
{
    lines.assign(1, LineMetrics());
    for (char c : text) {
        if (c == '\n') {
            lines.emplace_back();
            continue;
        }
        const Character& g = characters[c];
        lines.back().width += static_cast<float>(g.size.x + g.bearing.x) * scale;
        float h = static_cast<float>(g.size.y) * scale;
        if (h > lines.back().height)
            lines.back().height = h;
    }
}

} // namespace

float lineWidth(std::map<char, Character>& characters, const std::string& text, float scale)
{
    float width = 0.0f;
    for (char c : text) {
        if (c == '\n')
            break;
        const Character& g = characters[c];
        width += static_cast<float>(g.size.x + g.bearing.x) * scale;
    }
    return width;
}

void layout(std::map<char, Character>& characters, const std::string& text, float x, float y,
            float scale, int alignment, std::vector<GlyphQuad>& quads)
{
    quads.clear();
    if (alignment < 0 || alignment > 3 || text.empty())
        return;

    // Measurement storage is reused between calls; labels are drawn every frame.
    static thread_local std::vector<LineMetrics> lines;
    measure(characters, text, scale, lines);

    bool multiLine = lines.size() > 1;
    float firstLine = multiLine ? lines.front().height : 0.0f;
    float linesAbove = 0.0f;
    for (size_t l = 0; l + 1 < lines.size(); ++l)
        linesAbove += lines[l].height;

    bool centred = alignment >= 2;
    float b0 = 0.0f;
    if (centred) {
        auto zero = characters.find('\0');
        if (zero != characters.end())
            b0 = static_cast<float>(-zero->second.bearing.x);
    }

    float verticalTerm = alignment == 1 ? linesAbove : -firstLine;
    float advanceSum = 0.0f;
    size_t line = 0;
    float penX = x;
    for (char c : text) {
        if (c == '\n') {
            advanceSum = static_cast<float>(static_cast<double>(advanceSum) +
                                            1.25 * static_cast<double>(lines[line].height));
            ++line;
            penX = x;
            continue;
        }
        const Character& g = characters[c];
        float w = static_cast<float>(g.size.x) * scale;
        float h = static_cast<float>(g.size.y) * scale;
        float xpos = penX + static_cast<float>(g.bearing.x) * scale;
        if (centred)
            xpos = penX - lines[line].width / 2 + static_cast<float>(g.bearing.x) * scale + b0;
        float ypos = y - static_cast<float>(g.size.y - g.bearing.y) * scale - advanceSum + verticalTerm;
        if (alignment == 3)
            ypos = static_cast<float>(static_cast<double>(ypos) - static_cast<double>(lines[line].height) / 2.0);
        quads.push_back({g.textureID, xpos, ypos, w, h});
        penX += static_cast<float>(g.advance >> 6) * scale;
    }
}

} // namespace TextLayout

// Rasterises codes 0..127 at 48 x pixelScale pixels into one texture each,
// then makes the quad buffer. Without FreeType or the face the font has no glyphs.
GLFont::GLFont(const char* fontPath, float pixelScale)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float pixels = 48.0f * pixelScale;
    loadGlyphs(fontPath, pixels >= 1.0f && pixels < 4096.0f ? static_cast<unsigned int>(std::lround(pixels)) : 48u);

    glGenVertexArrays(1, &VAO);
    glGenBuffers(1, &VBO);
    glBindVertexArray(VAO);
    glBindBuffer(GL_ARRAY_BUFFER, VBO);
    glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 6 * 4, nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void GLFont::loadGlyphs(const char* fontPath, unsigned int pixelHeight)
{
    FT_Library ft;
    if (FT_Init_FreeType(&ft)) {
        std::cout << "ERROR::FREETYPE: Could not init FreeType Library" << std::endl;
        return;
    }
    FT_Face face;
    if (!fontPath || FT_New_Face(ft, fontPath, 0, &face)) {
        std::cout << "ERROR::FREETYPE: Failed to load font" << std::endl;
        FT_Done_FreeType(ft);
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, pixelHeight);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (unsigned char c = 0; c < 128; ++c) {
        if (FT_Load_Char(face, c, FT_LOAD_RENDER)) {
            std::cout << "ERROR:FREETYPE: Failed to load Glyph" << std::endl;
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        unsigned int texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(slot->bitmap.width),
                     static_cast<GLsizei>(slot->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE,
                     slot->bitmap.buffer);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        Character record;
        record.textureID = texture;
        record.size = glm::ivec2(static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows));
        record.bearing = glm::ivec2(slot->bitmap_left, slot->bitmap_top);
        record.advance = static_cast<unsigned int>(slot->advance.x);
        characters.emplace(static_cast<char>(c), record);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    FT_Done_Face(face);
    FT_Done_FreeType(ft);
}

// Draws text with the given text program; textProjection is the caller's.
void GLFont::RenderText(Shader* shader, const std::string& text, float x, float y, float scale,
                        glm::vec3 colour, int alignment)
{
    shader->Use();
    glUniform3f(shader->uniforms().textColor, colour.x, colour.y, colour.z);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(VAO);
    switch (alignment) {
    case 0: drawLeftTopAligned(text, x, y, scale); break;
    case 1: drawLeftBottomAligned(text, x, y, scale); break;
    case 2: drawHCentreAligned(text, x, y, scale); break;
    case 3: drawVCentreAligned(text, x, y, scale); break;
    default: break;
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GLFont::drawLeftTopAligned(const std::string& text, float x, float y, float scale)
{
    drawLayout(text, x, y, scale, 0);
}

void GLFont::drawLeftBottomAligned(const std::string& text, float x, float y, float scale)
{
    drawLayout(text, x, y, scale, 1);
}

void GLFont::drawHCentreAligned(const std::string& text, float x, float y, float scale)
{
    drawLayout(text, x, y, scale, 2);
}

void GLFont::drawVCentreAligned(const std::string& text, float x, float y, float scale)
{
    drawLayout(text, x, y, scale, 3);
}

// One textured quad per glyph; glyphs without a bitmap leave nothing to draw.
void GLFont::drawLayout(const std::string& text, float x, float y, float scale, int alignment)
{
    TextLayout::layout(characters, text, x, y, scale, alignment, quads);
    for (const GlyphQuad& q : quads) {
        if (q.w == 0.0f || q.h == 0.0f)
            continue;
        float vertices[6][4] = {
            {q.xpos, q.ypos + q.h, 0.0f, 0.0f},       {q.xpos, q.ypos, 0.0f, 1.0f},
            {q.xpos + q.w, q.ypos, 1.0f, 1.0f},       {q.xpos, q.ypos + q.h, 0.0f, 0.0f},
            {q.xpos + q.w, q.ypos, 1.0f, 1.0f},       {q.xpos + q.w, q.ypos + q.h, 1.0f, 0.0f},
        };
        glBindTexture(GL_TEXTURE_2D, q.textureID);
        glBindBuffer(GL_ARRAY_BUFFER, VBO);
        glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_DYNAMIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDrawArrays(GL_TRIANGLES, 0, 6);
    }
}

} // namespace Qvis
