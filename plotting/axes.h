// The axes of a plot: limits, autoscaling, tick marks and labels, and the
// series drawn clipped to the axes rectangle.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>

#include "ILine2D.h"
#include "IShadedLine2D.h"
#include "IWindow.h"
#include "font.h"
#include "shader.h"
#include "text_label.h"

namespace Qvis {

// Limit arithmetic of the axes, free of GL and of window state. Limits travel
// as four floats: xmin, xmax, ymin, ymax.
namespace AxesMaths {

// Merges a series' extremes into the running extremes (strict comparisons).
void compareMinMax(std::vector<float>* overall, const std::vector<float>& candidate);
void compareMinMax(std::array<float, 4>& overall, const std::array<float, 4>& candidate);
// Rounds minima down and maxima up to two significant figures of their order
// of magnitude (hundredths within [-1, 1]); non-finite values stay as they are.
void adjustSigFig(std::vector<float>* limits);
// Widens one axis so both show the same data units per pixel.
void makeAxesEqual(std::vector<float>* limits, float widthPx, float heightPx);
// Autoscaled limits from data extremes m. An axis without usable data (no
// series, no samples, non-finite extremes) keeps its limits in `limits`; a
// zero extent is widened after rounding.
void autoscale(const std::vector<float>& m, bool round, bool equal, float widthPx, float heightPx,
               bool scaleX, bool scaleY, float limits[4]);
// The same from four extremes, without allocating.
void autoscaleExtremes(std::array<float, 4> m, bool round, bool equal, float widthPx, float heightPx,
               bool scaleX, bool scaleY, float limits[4]);
// Widens lo == hi to a range around the value.
void widenZeroExtent(float* lo, float* hi);
// Limits fit for drawing: non-finite axes show [-1, 1], zero extents are widened.
std::array<float, 4> usableLimits(float xmin, float xmax, float ymin, float ymax);
// Maps data coordinates onto normalised axes coordinates (-1..1).
glm::mat4 scale2AxesLimits(float xmin, float xmax, float ymin, float ymax);
// Tick mark vertices: n x ticks on the bottom edge, then n y ticks on the left.
void tickLayout(int n, float majorTickSizeW, float majorTickSizeH, std::vector<float>& tickVerts);
// Value of tick i of n between lo and hi.
float tickValue(float lo, float hi, int i, int n);
// Decimals of the labels of n ticks between lo and hi: the fewest, at least
// one and at most six, with which every label lies within a fiftieth of the
// tick spacing of its tick's value, so that neighbouring labels differ by
// about the spacing: ticks 0.25 apart take two, 2.5 apart one.
int labelDecimals(float lo, float hi, int n);
// Label text: fixed point with the given decimals, rounded half away from
// zero on every platform; a value that rounds to zero has no minus sign.
std::string tickLabel(float value, int decimals);

// Round ticks, as analysis pictures have them: a step of 1, 2 or 5 x 10^k
// that gives about `target` ticks between lo and hi (0 for limits without a
// finite, positive extent).
double niceStep(float lo, float hi, int target);
// The multiples of the step within [lo, hi], ascending; at most 64.
void niceTicks(float lo, float hi, int target, std::vector<float>& values);
// lo and hi widened outward to the multiples of the step just beyond them.
void niceLimits(float* lo, float* hi, int target);
// Decimals for labels of ticks `step` apart: none for whole steps, one for
// 0.5, 0.2 and 0.1, two for 0.05 ... (at most six).
int stepDecimals(double step);

} // namespace AxesMaths

class Axes {
public:
    Axes(float x, float y, float width, float height, std::shared_ptr<IWindow> window,
         Shader* textShaderPt);

    void Draw(Shader plotShader, Shader posNegShader, Shader shadedShader, Shader shadedEdgeShader,
              glm::mat4 parentTransform);

    void addLine(std::shared_ptr<ILine2D> line);
    void addPosNegLine(std::shared_ptr<ILine2D> line);
    void addShadedLine(std::shared_ptr<IShadedLine2D> line);
    // Texts drawn over everything else, placed in fractions of the parent
    // plot's rectangle.
    void addText(std::shared_ptr<TextLabel> label);

    void setPositionSize(float x, float y, float width, float height);
    void setFontScaling(float scaling);
    void setAxesLabelsOn(bool on);
    void setAxesAreaOutlineOn(bool on);
    void setXYAxesOn(bool on);
    // One line of text in white, centred on the axes rectangle and drawn over
    // everything else; null or empty for none.
    void setMessage(const char* text);
    // The labels of the plain lines, each in its line's colour, stacked in the
    // upper left corner of the axes rectangle.
    void setLegendOn(bool on);
    // Ticks at round values (AxesMaths::niceTicks) as a faint grid across the
    // axes rectangle, labelled with the decimals their spacing needs, in
    // window pixels beside the rectangle: for pictures, whose axes are long
    // and thin. Off, the axes keep their five ticks at the limits and between.
    void setNiceTicks(bool on);
    // With nice ticks, whether the x ticks are labelled (lanes stacked on one
    // x axis label only the lowest).
    void setXTickLabelsOn(bool on);
    Shader* getTextShaderPt();

    void updateAxesLimits(float xmin, float xmax, float ymin, float ymax, bool turnOffAutoScale);
    void updateAxesLimits(std::vector<float> limits, bool turnOffAutoScale);
    void updateXAxesLimits(float xmin, float xmax, bool turnOffAutoScale);
    void updateYAxesLimits(float ymin, float ymax, bool turnOffAutoScale);
    void setAutoScale(bool on);
    void setAutoScaleRound(bool on);
    void setEqualAxes(bool on);
    void setMajorTickSize(float size);
    void setMinorTickSize(float size);

    // The stored limits: xmin, xmax, ymin, ymax.
    std::vector<float> getAxesLimits() const;

    void updateAxesLimitsAutoscale();
    std::vector<float> getOverallMinMax();
    void compareMinMax(std::vector<float>* overall, std::vector<float> candidate);
    void adjustSigFig(std::vector<float>* limits);
    void makeAxesEqual(std::vector<float>* limits);
    void pixelSize(float* widthPx, float* heightPx) const;
    glm::mat4 scale2AxesLimits();
    std::array<float, 4> calculateScissor(glm::mat4 plotTransform);

private:
    void createAndSetupBuffers();
    void createAndSetupAxesLineBuffers();
    void createAndSetupAxesTickBuffers();
    void drawAxesBox(Shader shader, glm::mat4 transform);
    void drawAxesLines(Shader shader, glm::mat4 transform);
    void drawLines(Shader shader, glm::mat4 transform);
    void drawShadedLines(Shader shader, Shader edgeShader, glm::mat4 transform);
    void drawPosNegLines(Shader shader, glm::mat4 transform);
    void drawAxesTickMarks(Shader shader, glm::mat4 transform);
    void drawMajorAxesTickLabels(glm::mat4 transform);
    void drawLegendAndMessage(glm::vec4 lowerLeft, glm::vec4 upperRight);
    void drawTexts(glm::mat4 parentTransform);
    void useWindowPixelText(float W, float H);
    void drawNiceGrid(Shader shader, glm::mat4 plotTransform);
    void drawNiceLabels(glm::mat4 plotTransform);
    std::array<float, 4> shownLimits() const;
    std::array<float, 4> overallExtremes();

    float x, y;
    float width, height;
    float xmin = -1.0f, xmax = 1.0f, ymin = -1.0f, ymax = 1.0f;
    bool autoScaleX = true, autoScaleY = true, autoScaleRound = true, equalAxes = false;
    // Size in window pixels of the axes rectangle as last laid out by Draw;
    // equal axes compare units per pixel over it. 0 until the first Draw.
    float axesWidthPx = 0.0f, axesHeightPx = 0.0f;
    float majorTickSizeW = 0.03f, minorTickSizeW = 0.015f;
    float majorTickSizeH = 0.03f, minorTickSizeH = 0.015f;
    int numMajorTicks = 5;
    int maxTickVertices = 20;
    bool axesLabelsOn = true;
    bool axesAreaOutlineOn = true;
    bool xyAxesOn = true;
    bool legendOn = false;
    bool niceTicks = false;
    bool xTickLabelsOn = true;
    // The ticks' values and the grid's vertices, kept between frames.
    std::vector<float> niceX, niceY, gridVerts;
    unsigned int gridVAO = 0, gridVBO = 0;
    std::string message;
    unsigned int boxVAO = 0, boxVBO = 0;
    unsigned int axesLineVAO = 0, axesLineVBO = 0;
    unsigned int tickVAO = 0, tickVBO = 0;
    std::vector<float> boxVerts;
    std::vector<float> axesLineVerts;
    std::vector<float> tickVerts;
    std::vector<std::shared_ptr<ILine2D>> lines;
    std::vector<std::shared_ptr<ILine2D>> posNegLines;
    std::vector<std::shared_ptr<IShadedLine2D>> shadedLines;
    std::vector<std::shared_ptr<TextLabel>> texts;
    std::shared_ptr<IWindow> window;
    Shader* textShaderPt;
    // The window's scale: line widths, label offsets and the font's pixel size.
    float drawScale;
    const char* fontPath;
    GLFont font;
    float fontScaling = 1.0f;
    // Size of the legend and message text against the font's pixel size.
    static constexpr float noteScaling = 0.4f;
    // About how many nice ticks each axis has, and room for the grid's lines.
    static constexpr int kNiceTicksX = 10;
    static constexpr int kNiceTicksY = 4;
    static constexpr int kGridVertices = 4 * 64;
};

} // namespace Qvis
