#include "ThrottleBrakeTraceView.h"

#include <utility>

ThrottleBrakeTraceView::ThrottleBrakeTraceView(HistoryPtrMap histories, unsigned int seconds,
                                               Qvis::WindowStyle style)
    : Qvis::FramelessDraggableWindow(kWidth, kHeight, true, true, std::move(style))
{
    setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    historySeconds = seconds;
    setupPlot();
    setupLines(std::move(histories));
}

ThrottleBrakeTraceView::~ThrottleBrakeTraceView()
{
    refBrakeLine.reset();
    refThrottleLine.reset();
    brakeArea.reset();
    throttleArea.reset();
    plot.reset();
}

// One plot over the whole window, with no axes decorations: y fixed to 0..1,
// x set every frame.
void ThrottleBrakeTraceView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(0.0f, 0.0f, 1.0f, 1.0f, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setXYAxesOn(false);
    axes->setAutoScale(false);
    axes->setPositionSize(0.0f, 0.0f, 1.0f, 1.0f);
    axes->setAxesLabelsOn(false);
    axes->setMajorTickSize(0.0f);
    axes->setMinorTickSize(0.0f);
    axes->updateYAxesLimits(0.0f, 1.0f, true);
    axes->setAxesAreaOutlineOn(false);
}

// Green and red translucent areas for the pedals, green and red lines for the
// reference lap, all over session time.
void ThrottleBrakeTraceView::setupLines(HistoryPtrMap histories)
{
    std::vector<float>* time = histories.at(SESSION_TIME);
    std::vector<float>* throttle = histories.at(THROTTLE);
    std::vector<float>* brake = histories.at(BRAKE);
    std::vector<float>* zoneT = histories.at(ZONE_T);
    std::vector<float>* zoneB = histories.at(ZONE_B);

    throttleArea = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(time, throttle);
    throttleArea->setShadeColour(glm::vec3(0.0f, 1.0f, 0.0f) * 0.9f);
    throttleArea->setOpacityRatio(shadeOpacity);

    brakeArea = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(time, brake);
    brakeArea->setShadeColour(glm::vec3(1.0f, 0.0f, 0.0f) * 0.9f);
    brakeArea->setOpacityRatio(shadeOpacity);

    refThrottleLine = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(time, zoneT);
    refThrottleLine->setLineWidth(2);
    refThrottleLine->setLineColour(glm::vec3(0.0f, 1.0f, 0.0f));

    refBrakeLine = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(time, zoneB);
    refBrakeLine->setLineWidth(2);
    refBrakeLine->setLineColour(glm::vec3(1.0f, 0.0f, 0.0f));

    plot->addShadedLine(throttleArea);
    plot->addShadedLine(brakeArea);
    plot->addLine(refThrottleLine);
    plot->addLine(refBrakeLine);
}

// One frame: rebuild the series from the rings and show the last
// historySeconds seconds up to the newest sample.
void ThrottleBrakeTraceView::drawView(unsigned int start)
{
    preLoopDraw(true);
    throttleArea->updateInternalData(start);
    brakeArea->updateInternalData(start);
    refThrottleLine->updateInternalData(start);
    refBrakeLine->updateInternalData(start);
    // The window ends at the newest sample's session time, read without a scan.
    const float xMax = throttleArea->newestX();
    plot->getAxes()->updateXAxesLimits(xMax - static_cast<float>(historySeconds), xMax, true);
    plot->Draw();
    notice.draw();
    postLoopDraw();
}

void ThrottleBrakeTraceView::setMessage(const char* text)
{
    plot->getAxes()->setMessage(text);
}
