#include "TrackMapView.h"

#include <cmath>
#include <utility>

TrackMapView::TrackMapView(HistoryPtrMap histories, unsigned int seconds, Qvis::WindowStyle style)
    : Qvis::FramelessDraggableWindow(kWidth, kHeight, true, true, std::move(style))
{
    setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    historySeconds = seconds;
    setupPlot();
    setupLines(std::move(histories));
}

TrackMapView::~TrackMapView()
{
    mapLine.reset();
    plot.reset();
}

// One plot with labelled axes that follow the path's extent at equal scales,
// so that corners keep their shape; no rounding, so the path fills the plot.
void TrackMapView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(0.15f, 0.1f, 0.8f, 0.85f, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setFontScaling(0.5f);
    axes->setEqualAxes(true);
    axes->setAutoScale(true);
    axes->setAutoScaleRound(false);
    axes->setPositionSize(0.0f, 0.0f, 1.0f, 1.0f);
}

void TrackMapView::setupLines(HistoryPtrMap histories)
{
    mapLine = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(
        histories.at(IDataStrings::POSITION_X), histories.at(IDataStrings::POSITION_Y));
    plot->addLine(mapLine);
}

void TrackMapView::drawView(unsigned int start)
{
    drawFrame(start);
    postLoopDraw();
}

void TrackMapView::drawFrame(unsigned int start)
{
    preLoopDraw(true);
    mapLine->updateInternalData(start);
    plot->Draw();
    notice.draw();
}

void TrackMapView::setMessage(const char* text)
{
    plot->getAxes()->setMessage(text);
}
