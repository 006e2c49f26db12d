#include "VariablePlotView.h"

#include <cmath>
#include <utility>

namespace {

// Where the plot and its axes lie: the plot's rectangle in the window and the
// axes' left and bottom inset (their tick size) within the plot.
const float kPlotX = 0.15f, kPlotY = 0.1f, kPlotWidth = 0.8f, kPlotHeight = 0.85f;
const float kAxesInset = 0.03f;
// Room above the highest value: the axes clip at their top edge, where a line
// at the rounded maximum (full throttle, top gear) would vanish.
const float kMarginPx = 3.0f;

bool usable(float lo, float hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo <= hi;
}

} // namespace

VariablePlotView::VariablePlotView(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                                   HistoryPtrMap<int> intHistories, unsigned int seconds)
    : Qvis::FramelessDraggableWindow(800, 600, true, true)
    , palette{{0.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f},
              {0.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}}
{
    setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    historySeconds = seconds;
    setupPlot();
    setupLines(std::move(floatHistories), std::move(doubleHistories), std::move(intHistories));
}

VariablePlotView::~VariablePlotView()
{
    doubleLines.clear();
    floatLines.clear();
    intLines.clear();
    plot.reset();
}

// One plot with labelled axes. drawFrame scales them every frame: y to the
// data, rounded outward; x to the last historySeconds seconds, or, without a
// float line, to the data like y.
void VariablePlotView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(kPlotX, kPlotY, kPlotWidth, kPlotHeight, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setFontScaling(0.5f);
    axes->setAutoScale(true);
    axes->setPositionSize(0.0f, 0.0f, 1.0f, 1.0f);
}

// Every line takes the float family's session time as x; int lines are made
// first, then float, then double, which fixes their colours.
void VariablePlotView::setupLines(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                                  HistoryPtrMap<int> intHistories)
{
    std::vector<float>* x = floatHistories.at(SESSION_TIME);
    setupLine(intLines, x, intHistories);
    setupLine(floatLines, x, floatHistories);
    setupLine(doubleLines, x, doubleHistories);
}

void VariablePlotView::drawView(unsigned int start)
{
    drawFrame(start);
    postLoopDraw();
}

// With a float line the x axis scrolls with the newest sample; without one,
// it autoscales to the data like y.
void VariablePlotView::drawFrame(unsigned int start)
{
    preLoopDraw(true);
    for (const auto& line : intLines)
        line->updateInternalData(start);
    for (const auto& line : floatLines)
        line->updateInternalData(start);
    for (const auto& line : doubleLines)
        line->updateInternalData(start);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    std::vector<float> limits = axes->getAxesLimits();
    if (!floatLines.empty()) {
        const float xMax = floatLines.front()->getMinMax()[1];
        limits[0] = xMax - static_cast<float>(historySeconds);
        limits[1] = xMax;
    }
    const float widthPx = static_cast<float>(getWidth()) * kPlotWidth * (1.0f - kAxesInset);
    const float heightPx = static_cast<float>(getHeight()) * kPlotHeight * (1.0f - kAxesInset);
    roundedLimits(axes->getOverallMinMax(), floatLines.empty(), widthPx, heightPx, kMarginPx, limits.data());
    axes->updateAxesLimits(limits, true);
    plot->Draw();
}

void VariablePlotView::roundedLimits(const std::vector<float>& extent, bool scaleX, float widthPx, float heightPx,
                                     float marginPx, float limits[4])
{
    if (extent.size() < 4 || !(widthPx > marginPx) || !(heightPx > marginPx))
        return;
    Qvis::AxesMaths::autoscale(extent, true, false, widthPx, heightPx, scaleX, true, limits);
    if (scaleX && usable(extent[0], extent[1]))
        limits[1] = static_cast<float>(limits[1] + (static_cast<double>(limits[1]) - limits[0]) * marginPx /
                                                       (widthPx - marginPx));
    if (usable(extent[2], extent[3]))
        limits[3] = static_cast<float>(limits[3] + (static_cast<double>(limits[3]) - limits[2]) * marginPx /
                                                       (heightPx - marginPx));
}

std::vector<glm::vec3> VariablePlotView::lineColours() const
{
    std::vector<glm::vec3> colours;
    for (const auto& line : intLines)
        colours.push_back(line->getColour());
    for (const auto& line : floatLines)
        colours.push_back(line->getColour());
    for (const auto& line : doubleLines)
        colours.push_back(line->getColour());
    return colours;
}
