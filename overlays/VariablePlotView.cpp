#include "VariablePlotView.h"

#include <array>
#include <utility>

VariablePlotView::VariablePlotView(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                                   HistoryPtrMap<int> intHistories, unsigned int seconds, Qvis::WindowStyle style)
    : Qvis::FramelessDraggableWindow(kWidth, kHeight, true, true, std::move(style))
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

// One plot with labelled axes that autoscale to the lines, rounded outward;
// drawFrame makes x follow the last historySeconds seconds when there is a
// float line.
void VariablePlotView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(0.15f, 0.1f, 0.8f, 0.85f, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setFontScaling(0.5f);
    axes->setAutoScale(true);
    axes->setPositionSize(0.0f, 0.0f, 1.0f, 1.0f);
    axes->setLegendOn(true);
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
            plot->getAxes()->updateXAxesLimits(e[1] - static_cast<float>(historySeconds), e[1], true);
    }
    plot->Draw();
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

void VariablePlotView::setMessage(const char* text)
{
    plot->getAxes()->setMessage(text);
}

void VariablePlotView::nameLine(const VarSetup& variable, const std::string& label)
{
    for (const MadeLine& made : madeLines)
        if (made.valueType == variable.valueType && made.slot == variable.slot)
            made.line->setLabel(label);
}
