#include "TrackMapView.h"

#include <cmath>
#include <utility>

namespace {

// Where the plot and its axes lie: the plot's rectangle in the window and the
// axes' left and bottom inset (their tick size) within the plot.
const float kPlotX = 0.15f, kPlotY = 0.1f, kPlotWidth = 0.8f, kPlotHeight = 0.85f;
const float kAxesInset = 0.03f;
// Room around the path, so that its outermost straights are not cut off by
// the clipping at the axes' edges.
const float kMarginPx = 4.0f;

} // namespace

TrackMapView::TrackMapView(HistoryPtrMap histories, unsigned int seconds)
    : Qvis::FramelessDraggableWindow(800, 600, true, true)
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
// drawFrame sets the limits itself: the axes' own equal scaling measures the
// axes against the whole window instead of the plot, which stretches the map.
void TrackMapView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(kPlotX, kPlotY, kPlotWidth, kPlotHeight, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setFontScaling(0.5f);
    axes->setAutoScaleRound(false);
    axes->setEqualAxes(true);
    axes->setAutoScale(false);
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
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    std::vector<float> limits = axes->getAxesLimits();
    const float widthPx = static_cast<float>(getWidth()) * kPlotWidth * (1.0f - kAxesInset);
    const float heightPx = static_cast<float>(getHeight()) * kPlotHeight * (1.0f - kAxesInset);
    equalLimits(mapLine->getMinMax(), widthPx, heightPx, kMarginPx, limits.data());
    axes->updateAxesLimits(limits, true);
    plot->Draw();
}

void TrackMapView::equalLimits(const std::vector<float>& extent, float widthPx, float heightPx, float marginPx,
                               float limits[4])
{
    const float innerW = widthPx - 2.0f * marginPx;
    const float innerH = heightPx - 2.0f * marginPx;
    if (!(innerW > 0.0f) || !(innerH > 0.0f) || extent.size() < 4)
        return;
    for (int axis = 0; axis < 4; axis += 2)
        if (!std::isfinite(extent[axis]) || !std::isfinite(extent[axis + 1]) || extent[axis] > extent[axis + 1])
            return;
    Qvis::AxesMaths::autoscale(extent, false, true, innerW, innerH, true, true, limits);
    // Widen both axes by the margin at the scale they now share.
    const double perPx = (static_cast<double>(limits[1]) - limits[0]) / innerW;
    const double mx = perPx * marginPx;
    const double my = (static_cast<double>(limits[3]) - limits[2]) / innerH * marginPx;
    limits[0] = static_cast<float>(limits[0] - mx);
    limits[1] = static_cast<float>(limits[1] + mx);
    limits[2] = static_cast<float>(limits[2] - my);
    limits[3] = static_cast<float>(limits[3] + my);
}
