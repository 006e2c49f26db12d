#include "VariablePlotView.h"

#include <array>
#include <utility>

namespace {

// The plots' region of the window, as fractions with the origin at the
// lower left, and the room between lanes.
const float kPlotsLeft = 0.15f, kPlotsBottom = 0.1f, kPlotsWidth = 0.8f, kPlotsHeight = 0.85f;
const float kLaneGap = 0.03f;
// The labels' size against the font's 48 pixels.
const float kFontScaling = 0.4f;

} // namespace

VariablePlotView::VariablePlotView(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                                   HistoryPtrMap<int> intHistories, unsigned int seconds, Qvis::WindowStyle style,
                                   bool lanes)
    : Qvis::FramelessDraggableWindow(kWidth, kHeight, true, true, std::move(style))
    , palette{{0.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f},
              {0.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 0.0f}}
{
    setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    historySeconds = seconds;
    if (lanes) {
        std::vector<std::pair<IDataStrings::VariableEnum, int>> lines;
        for (IDataStrings::VariableEnum slot : lineSlots(intHistories))
            lines.emplace_back(slot, VarSetup::VALUE_INT);
        for (IDataStrings::VariableEnum slot : lineSlots(floatHistories))
            lines.emplace_back(slot, VarSetup::VALUE_FLOAT);
        for (IDataStrings::VariableEnum slot : lineSlots(doubleHistories))
            lines.emplace_back(slot, VarSetup::VALUE_DOUBLE);
        setupLanes(std::move(lines));
    }
    if (plots.empty())
        setupPlot();
    setupLines(std::move(floatHistories), std::move(doubleHistories), std::move(intHistories));
}

VariablePlotView::~VariablePlotView()
{
    doubleLines.clear();
    floatLines.clear();
    intLines.clear();
    plots.clear();
    plot.reset();
}

// Labelled axes that autoscale to the lines, rounded outward; drawFrame
// makes x follow the last historySeconds seconds when there is a float line.
std::shared_ptr<Qvis::Plot> VariablePlotView::makePlot(float x, float y, float width, float height)
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    auto made = std::make_shared<Qvis::Plot>(x, y, width, height, self);
    made->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = made->getAxes();
    axes->setFontScaling(kFontScaling);
    axes->setAutoScale(true);
    axes->setPositionSize(0.0f, 0.0f, 1.0f, 1.0f);
    axes->setLegendOn(true);
    plots.push_back(made);
    return made;
}

void VariablePlotView::setupPlot()
{
    plot = makePlot(kPlotsLeft, kPlotsBottom, kPlotsWidth, kPlotsHeight);
}

// Lanes of equal height with a gap between them; the time axis is labelled
// under the lowest only. A low lane labels fewer y ticks, two text heights
// apart at the least.
void VariablePlotView::setupLanes(std::vector<std::pair<IDataStrings::VariableEnum, int>> lines)
{
    std::sort(lines.begin(), lines.end());
    laneLines = std::move(lines);
    const size_t n = laneLines.size();
    if (n == 0)
        return;
    const float laneHeight = (kPlotsHeight - kLaneGap * static_cast<float>(n - 1)) / static_cast<float>(n);
    const float textHeight = 48.0f * kFontScaling;
    for (size_t i = 0; i < n; ++i) {
        const float y = kPlotsBottom + static_cast<float>(n - 1 - i) * (laneHeight + kLaneGap);
        std::shared_ptr<Qvis::Axes> axes = makePlot(kPlotsLeft, y, kPlotsWidth, laneHeight)->getAxes();
        axes->setXTickLabelsOn(i + 1 == n);
        axes->setYTickCount(1 + static_cast<int>(laneHeight * static_cast<float>(kHeight) / (2.0f * textHeight)));
    }
    plot = plots.front();
}

Qvis::Plot& VariablePlotView::plotFor(IDataStrings::VariableEnum slot, int valueType)
{
    for (size_t i = 0; i < laneLines.size(); ++i)
        if (laneLines[i] == std::make_pair(slot, valueType))
            return *plots[i];
    return *plot;
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
// it autoscales to the data like y. Before the first sample there is no
// newest time, and the axis keeps its limits.
void VariablePlotView::drawFrame(unsigned int start)
{
    preLoopDraw(true);
    for (const auto& line : intLines)
        line->updateInternalData(start);
    for (const auto& line : floatLines)
        line->updateInternalData(start);
    for (const auto& line : doubleLines)
        line->updateInternalData(start);
    if (!floatLines.empty()) {
        const std::array<float, 4> e = floatLines.front()->extremes();
        if (e[0] <= e[1])
            for (const auto& p : plots)
                p->getAxes()->updateXAxesLimits(e[1] - static_cast<float>(historySeconds), e[1], true);
    }
    for (const auto& p : plots)
        p->Draw();
    notice.draw();
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

// In lanes, over the middle one.
void VariablePlotView::setMessage(const char* text)
{
    plots[plots.size() / 2]->getAxes()->setMessage(text);
}

void VariablePlotView::nameLine(const VarSetup& variable, const std::string& label)
{
    for (const MadeLine& made : madeLines)
        if (made.valueType == variable.valueType && made.slot == variable.slot)
            made.line->setLabel(label);
}
