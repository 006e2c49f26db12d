// Construction, GL buffers and drawing of the axes.
#include "axes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <glad/gl.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "transforms.h"

namespace Qvis {

namespace {

void setUniforms(Shader& shader, const glm::mat4& transform, float r, float g, float b, float a)
{
    shader.Use();
    glUniformMatrix4fv(shader.uniforms().transformViewport, 1, GL_FALSE, glm::value_ptr(transform));
    glUniform4f(shader.uniforms().inColor, r, g, b, a);
}

// A vertex array whose attribute 0 is two tightly packed floats.
void makeVertexBuffer(unsigned int* vao, unsigned int* vbo, GLsizeiptr bytes, const void* data,
                      GLenum usage)
{
    glGenVertexArrays(1, vao);
    glGenBuffers(1, vbo);
    glBindVertexArray(*vao);
    glBindBuffer(GL_ARRAY_BUFFER, *vbo);
    glBufferData(GL_ARRAY_BUFFER, bytes, data, usage);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

// Uploads the first vertices of a line list into its buffer, as many as it
// holds, and draws them as separate lines in one colour.
void drawLineList(Shader& shader, const glm::mat4& transform, unsigned int vao, unsigned int vbo,
                  const std::vector<float>& vertices, size_t capacity, float r, float g, float b)
{
    const size_t floats = std::min(vertices.size(), capacity * 2);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(floats * sizeof(float)), vertices.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    setUniforms(shader, transform, r, g, b, 1.0f);
    glBindVertexArray(vao);
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(floats / 2));
    glBindVertexArray(0);
}

// Window pixels of a fraction, truncated toward zero and kept within int.
int toPixels(float fraction, int extent)
{
    float v = static_cast<float>(extent) * fraction;
    if (!(v > -1.0e9f))
        return std::isnan(v) ? 0 : -1000000000;
    if (v > 1.0e9f)
        return 1000000000;
    return static_cast<int>(v);
}

} // namespace

// Defaults, the label font, then the three vertex buffers; needs a current context.
Axes::Axes(float x, float y, float width, float height, std::shared_ptr<IWindow> window,
           Shader* textShaderPt)
    : x(x), y(y), width(width), height(height),
      boxVerts{-1, -1, 1, -1, 1, 1, -1, 1},
      axesLineVerts{-1, -1, 1, -1, 1, 1, -1, 1},
      tickVerts{0, 0, -1, 1},
      window(std::move(window)), textShaderPt(textShaderPt),
      drawScale(this->window->getScale()), fontPath(defaultFontPath()), font(fontPath, drawScale)
{
    createAndSetupBuffers();
    createAndSetupAxesLineBuffers();
    createAndSetupAxesTickBuffers();
}

void Axes::createAndSetupBuffers()
{
    makeVertexBuffer(&boxVAO, &boxVBO, static_cast<GLsizeiptr>(boxVerts.size() * sizeof(float)),
                     boxVerts.data(), GL_STATIC_DRAW);
}

void Axes::createAndSetupAxesLineBuffers()
{
    makeVertexBuffer(&axesLineVAO, &axesLineVBO, 8 * sizeof(float), axesLineVerts.data(),
                     GL_DYNAMIC_DRAW);
}

void Axes::createAndSetupAxesTickBuffers()
{
    makeVertexBuffer(&tickVAO, &tickVBO,
                     static_cast<GLsizeiptr>(maxTickVertices) * 2 * sizeof(float), nullptr,
                     GL_DYNAMIC_DRAW);
}

void Axes::addLine(std::shared_ptr<ILine2D> line)
{
    if (!line)
        return;
    line->setLineWidthScale(drawScale);
    lines.push_back(std::move(line));
}

void Axes::addPosNegLine(std::shared_ptr<ILine2D> line)
{
    if (!line)
        return;
    line->setLineWidthScale(drawScale);
    posNegLines.push_back(std::move(line));
}

void Axes::addShadedLine(std::shared_ptr<IShadedLine2D> line)
{
    if (line)
        shadedLines.push_back(std::move(line));
}

void Axes::addText(std::shared_ptr<TextLabel> label)
{
    if (label)
        texts.push_back(std::move(label));
}

void Axes::setPositionSize(float x, float y, float width, float height)
{
    this->x = x;
    this->y = y;
    this->width = width;
    this->height = height;
}

void Axes::setFontScaling(float scaling)
{
    fontScaling = scaling;
}

void Axes::setAxesLabelsOn(bool on)
{
    axesLabelsOn = on;
}

void Axes::setAxesAreaOutlineOn(bool on)
{
    axesAreaOutlineOn = on;
}

void Axes::setXYAxesOn(bool on)
{
    xyAxesOn = on;
}

// Kept as given; an unchanged text costs a comparison, so callers may set it every frame.
void Axes::setMessage(const char* text)
{
    if (!text)
        text = "";
    if (message != text)
        message = text;
}

void Axes::setLegendOn(bool on)
{
    legendOn = on;
}

// The grid's buffer is made the first time: axes without nice ticks have none.
void Axes::setNiceTicks(bool on)
{
    niceTicks = on;
    if (on && gridVAO == 0)
        makeVertexBuffer(&gridVAO, &gridVBO, static_cast<GLsizeiptr>(kGridVertices * 2 * sizeof(float)), nullptr,
                         GL_DYNAMIC_DRAW);
}

void Axes::setXTickLabelsOn(bool on)
{
    xTickLabelsOn = on;
}

Shader* Axes::getTextShaderPt()
{
    return textShaderPt;
}

// Outline, then the clipped origin lines and series, then ticks and labels.
void Axes::Draw(Shader plotShader, Shader posNegShader, Shader shadedShader, Shader shadedEdgeShader,
                glm::mat4 parentTransform)
{
    glm::mat4 axesTransform =
        parentTransform * Transforms::viewportTransform(x + majorTickSizeW, y + majorTickSizeH,
                                                        width - majorTickSizeW, height - majorTickSizeH);
    // The rectangle's real size in pixels, inside its plot and inside the window.
    const glm::vec4 lowerLeft = axesTransform * glm::vec4(-1.0f, -1.0f, 0.0f, 1.0f);
    const glm::vec4 upperRight = axesTransform * glm::vec4(1.0f, 1.0f, 0.0f, 1.0f);
    axesWidthPx = 0.5f * (upperRight.x - lowerLeft.x) * static_cast<float>(window->getWidth());
    axesHeightPx = 0.5f * (upperRight.y - lowerLeft.y) * static_cast<float>(window->getHeight());
    if (autoScaleX || autoScaleY)
        updateAxesLimitsAutoscale();
    glm::mat4 plotTransform = axesTransform * scale2AxesLimits();

    // Outline, origin lines and ticks are as wide as the window is scaled;
    // the series set their own widths and go back to 1.
    glLineWidth(drawScale);
    if (axesAreaOutlineOn)
        drawAxesBox(plotShader, axesTransform);

    glEnable(GL_SCISSOR_TEST);
    const std::array<float, 4> s = calculateScissor(plotTransform);
    int w = window->getWidth();
    int h = window->getHeight();
    // Limits given maximum first flip the axis; the clip box is the same rectangle.
    float left = std::min(s[0], s[2]), right = std::max(s[0], s[2]);
    float bottom = std::min(s[1], s[3]), top = std::max(s[1], s[3]);
    // One pixel more on every side: a series lying on the upper limits
    // rasterises into the row and column just past the rectangle's truncated
    // edge (full throttle, top gear), and with multisampling some drivers put
    // a line on the lower limits into the row and column just below it (no
    // brake, the map's outermost straight). Either would otherwise vanish.
    const int x0 = toPixels(left, w), y0 = toPixels(bottom, h);
    glScissor(x0 - 1, y0 - 1, std::max(0, toPixels(right - left, w) + 3), std::max(0, toPixels(top - bottom, h) + 3));
    if (niceTicks)
        drawNiceGrid(plotShader, plotTransform);
    if (xyAxesOn)
        drawAxesLines(plotShader, plotTransform);
    drawLines(plotShader, plotTransform);
    drawShadedLines(shadedShader, shadedEdgeShader, plotTransform);
    drawPosNegLines(posNegShader, plotTransform);
    glDisable(GL_SCISSOR_TEST);

    glLineWidth(drawScale);
    drawAxesTickMarks(plotShader, axesTransform);
    glLineWidth(1.0f);
    if (axesLabelsOn && niceTicks)
        drawNiceLabels(plotTransform);
    else if (axesLabelsOn)
        drawMajorAxesTickLabels(axesTransform);
    drawLegendAndMessage(lowerLeft, upperRight);
    drawTexts(parentTransform);
}

// Corners of the axes rectangle as fractions of the window: left, bottom, right, top.
std::array<float, 4> Axes::calculateScissor(glm::mat4 plotTransform)
{
    std::array<float, 4> l = shownLimits();
    glm::vec4 p0 = plotTransform * glm::vec4(l[0], l[2], 0.0f, 1.0f);
    glm::vec4 p1 = plotTransform * glm::vec4(l[1], l[3], 0.0f, 1.0f);
    auto half = [](float v) { return static_cast<float>(0.5 + 0.5 * static_cast<double>(v)); };
    return {half(p0.x), half(p0.y), half(p1.x), half(p1.y)};
}

void Axes::drawAxesBox(Shader shader, glm::mat4 transform)
{
    setUniforms(shader, transform, 1.0f, 1.0f, 1.0f, 1.0f);
    glBindVertexArray(boxVAO);
    glDrawArrays(GL_LINE_LOOP, 0, 4);
    glBindVertexArray(0);
}

// Grey lines y = 0 and x = 0 across the limits, in data coordinates.
void Axes::drawAxesLines(Shader shader, glm::mat4 transform)
{
    std::array<float, 4> l = shownLimits();
    axesLineVerts.assign({l[0], 0.0f, l[1], 0.0f, 0.0f, l[2], 0.0f, l[3]});
    glBindBuffer(GL_ARRAY_BUFFER, axesLineVBO);
    glBufferSubData(GL_ARRAY_BUFFER, 0, 8 * sizeof(float), axesLineVerts.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    setUniforms(shader, transform, 0.5f, 0.5f, 0.5f, 1.0f);
    glBindVertexArray(axesLineVAO);
    glDrawArrays(GL_LINES, 0, 4);
    glBindVertexArray(0);
}

void Axes::drawLines(Shader shader, glm::mat4 transform)
{
    for (const auto& line : lines)
        line->Draw(shader, transform);
}

// Shaded series in the order they were added, each over those before it.
void Axes::drawShadedLines(Shader shader, Shader edgeShader, glm::mat4 transform)
{
    for (const auto& line : shadedLines)
        line->Draw(shader, edgeShader, transform);
}

void Axes::drawPosNegLines(Shader shader, glm::mat4 transform)
{
    for (const auto& line : posNegLines)
        line->Draw(shader, transform);
}

// The labels are placed from the tick layout, so it is laid out even when the
// ticks have no length and their draw, which would draw nothing, is skipped.
void Axes::drawAxesTickMarks(Shader shader, glm::mat4 transform)
{
    AxesMaths::tickLayout(numMajorTicks, majorTickSizeW, majorTickSizeH, tickVerts);
    if (majorTickSizeW == 0.0f && majorTickSizeH == 0.0f)
        return;
    drawLineList(shader, transform, tickVAO, tickVBO, tickVerts, static_cast<size_t>(maxTickVertices), 1.0f, 1.0f,
                 1.0f);
}

// Labels 60 grid units below the x ticks and 80 left of the y ticks (times
// the window's scale), on a window-sized pixel grid stretched over the axes
// rectangle. Each axis writes as many decimals as its tick spacing needs.
void Axes::drawMajorAxesTickLabels(glm::mat4 transform)
{
    textShaderPt->Use();
    float W = static_cast<float>(window->getWidth());
    float H = static_cast<float>(window->getHeight());
    glm::mat4 projection = transform * glm::ortho(0.0f, W, 0.0f, H);
    glUniformMatrix4fv(textShaderPt->uniforms().textProjection, 1, GL_FALSE, glm::value_ptr(projection));
    std::array<float, 4> l = shownLimits();
    int n = numMajorTicks;
    if (tickVerts.size() < static_cast<size_t>(8 * n))
        return;
    const glm::vec3 white(1.0f, 1.0f, 1.0f);
    const double below = 60.0 * drawScale;
    const double left = 80.0 * drawScale;
    const int xDecimals = AxesMaths::labelDecimals(l[0], l[1], n);
    const int yDecimals = AxesMaths::labelDecimals(l[2], l[3], n);
    for (int i = 0; i < n; ++i) {
        float px = static_cast<float>((1.0f + tickVerts[4 * i]) / 2.0 * W);
        float py = static_cast<float>((1.0f + tickVerts[4 * i + 1]) / 2.0 * H - below);
        std::string text = AxesMaths::tickLabel(AxesMaths::tickValue(l[0], l[1], i, n), xDecimals);
        font.RenderText(textShaderPt, text, px, py, fontScaling, white, 2);
    }
    for (int j = 0; j < n; ++j) {
        int k = n + j;
        float px = static_cast<float>((1.0f + tickVerts[4 * k]) / 2.0 * W - left);
        float py = static_cast<float>((1.0f + tickVerts[4 * k + 1]) / 2.0 * H);
        std::string text = AxesMaths::tickLabel(AxesMaths::tickValue(l[2], l[3], j, n), yDecimals);
        font.RenderText(textShaderPt, text, px, py, fontScaling, white, 3);
    }
}

// Text coordinates from here on: window pixels, unstretched, from the lower left.
void Axes::useWindowPixelText(float W, float H)
{
    textShaderPt->Use();
    const glm::mat4 projection = glm::ortho(0.0f, W, 0.0f, H);
    glUniformMatrix4fv(textShaderPt->uniforms().textProjection, 1, GL_FALSE, glm::value_ptr(projection));
}

// A faint line across the axes rectangle at every nice tick, in data
// coordinates, under the series.
void Axes::drawNiceGrid(Shader shader, glm::mat4 plotTransform)
{
    const std::array<float, 4> l = shownLimits();
    AxesMaths::niceTicks(l[0], l[1], kNiceTicksX, niceX);
    AxesMaths::niceTicks(l[2], l[3], kNiceTicksY, niceY);
    gridVerts.clear();
    for (float v : niceX)
        gridVerts.insert(gridVerts.end(), {v, l[2], v, l[3]});
    for (float v : niceY)
        gridVerts.insert(gridVerts.end(), {l[0], v, l[1], v});
    drawLineList(shader, plotTransform, gridVAO, gridVBO, gridVerts, kGridVertices, 0.3f, 0.3f, 0.3f);
}

// The nice ticks' labels in window pixels, unstretched, at fontScaling of the
// font's size: the x labels centred below the rectangle, the y labels ending
// just left of it, each with the decimals its axis' spacing needs.
void Axes::drawNiceLabels(glm::mat4 plotTransform)
{
    const float W = static_cast<float>(window->getWidth());
    const float H = static_cast<float>(window->getHeight());
    useWindowPixelText(W, H);
    const std::array<float, 4> l = shownLimits();
    const glm::vec3 white(1.0f, 1.0f, 1.0f);
    const float em = 48.0f * drawScale * fontScaling;
    auto pixel = [&](float x, float y) {
        const glm::vec4 p = plotTransform * glm::vec4(x, y, 0.0f, 1.0f);
        return glm::vec2((1.0f + p.x) / 2.0f * W, (1.0f + p.y) / 2.0f * H);
    };
    if (xTickLabelsOn) {
        const int decimals = AxesMaths::stepDecimals(AxesMaths::niceStep(l[0], l[1], kNiceTicksX));
        for (float v : niceX) {
            const glm::vec2 at = pixel(v, l[2]);
            font.RenderText(textShaderPt, AxesMaths::tickLabel(v, decimals), at.x, at.y - 1.2f * em, fontScaling,
                            white, 2);
        }
    }
    const int decimals = AxesMaths::stepDecimals(AxesMaths::niceStep(l[2], l[3], kNiceTicksY));
    for (float v : niceY) {
        const glm::vec2 at = pixel(l[0], v);
        const std::string text = AxesMaths::tickLabel(v, decimals);
        const float width = font.textWidth(text, fontScaling);
        font.RenderText(textShaderPt, text, at.x - 0.4f * em - width / 2.0f, at.y, fontScaling, white, 3);
    }
}

// Legend and message in window pixels, unstretched, at a size that follows
// the window's scale through the font. lowerLeft and upperRight are the axes
// rectangle's corners in normalised window coordinates.
void Axes::drawLegendAndMessage(glm::vec4 lowerLeft, glm::vec4 upperRight)
{
    const bool anyLabel =
        legendOn && std::any_of(lines.begin(), lines.end(), [](const auto& l) { return !l->getLabel().empty(); });
    if (!anyLabel && message.empty())
        return;
    const float W = static_cast<float>(window->getWidth());
    const float H = static_cast<float>(window->getHeight());
    useWindowPixelText(W, H);
    const float left = (1.0f + lowerLeft.x) / 2.0f * W, right = (1.0f + upperRight.x) / 2.0f * W;
    const float bottom = (1.0f + lowerLeft.y) / 2.0f * H, top = (1.0f + upperRight.y) / 2.0f * H;
    // The text's em in window pixels: the font's 48 x scale pixels at noteScaling.
    const float em = 48.0f * drawScale * noteScaling;
    if (anyLabel) {
        float baseline = top - 1.25f * em;
        for (const auto& line : lines) {
            if (line->getLabel().empty())
                continue;
            font.RenderText(textShaderPt, line->getLabel(), left + 0.5f * em, baseline, noteScaling,
                            line->getColour(), 1);
            baseline -= 1.25f * em;
        }
    }
    if (!message.empty())
        font.RenderText(textShaderPt, message, (left + right) / 2.0f, (bottom + top) / 2.0f, noteScaling,
                        glm::vec3(1.0f, 1.0f, 1.0f), 3);
}

// Each text in window pixels, unstretched, its anchor placed in the parent
// plot's rectangle; its size follows the window's scale through the font.
void Axes::drawTexts(glm::mat4 parentTransform)
{
    if (texts.empty())
        return;
    const float W = static_cast<float>(window->getWidth());
    const float H = static_cast<float>(window->getHeight());
    useWindowPixelText(W, H);
    for (const auto& label : texts) {
        if (label->getText().empty())
            continue;
        const glm::vec4 at =
            parentTransform * glm::vec4(2.0f * label->getX() - 1.0f, 2.0f * label->getY() - 1.0f, 0.0f, 1.0f);
        float x = (1.0f + at.x) / 2.0f * W;
        const float y = (1.0f + at.y) / 2.0f * H;
        // The font's glyphs are 48 pixels high at scale 1.
        const float scaling = label->getPixelSize() / 48.0f;
        int alignment = 2;
        if (label->getAlign() == TextLabel::Align::Left)
            alignment = 1;
        else if (label->getAlign() == TextLabel::Align::Right)
            x -= font.textWidth(label->getText(), scaling) / 2.0f;
        font.RenderText(textShaderPt, label->getText(), x, y, scaling, label->getColour(), alignment);
    }
}

} // namespace Qvis
