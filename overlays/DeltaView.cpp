#include "DeltaView.h"

#include <cmath>
#include <cstdio>
#include <utility>

const glm::vec3 DeltaView::kAhead(0.3f, 1.0f, 0.3f);
const glm::vec3 DeltaView::kBehind(1.0f, 0.35f, 0.35f);

namespace {

const glm::vec3 kEven(1.0f, 1.0f, 1.0f);

// The delta with its sign and three decimals; a delta that rounds to zero is
// neither ahead nor behind and has no sign.
void formatDelta(float delta, char* out, size_t size, glm::vec3* colour)
{
    const long ms = std::lround(static_cast<double>(delta) * 1000.0);
    *colour = ms < 0 ? DeltaView::kAhead : ms > 0 ? DeltaView::kBehind : kEven;
    const long a = ms < 0 ? -ms : ms;
    std::snprintf(out, size, "%s%ld.%03ld", ms < 0 ? "-" : ms > 0 ? "+" : "", a / 1000, a % 1000);
}

// Minutes, seconds and milliseconds, as lap times are written.
void formatLapTime(const char* prefix, float seconds, char* out, size_t size)
{
    const long ms = std::lround(static_cast<double>(seconds) * 1000.0);
    if (!(seconds > 0.0f) || ms >= 100L * 60000L)
        std::snprintf(out, size, "%s-:--.---", prefix);
    else if (ms >= 60000)
        std::snprintf(out, size, "%s%ld:%02ld.%03ld", prefix, ms / 60000, ms / 1000 % 60, ms % 1000);
    else
        std::snprintf(out, size, "%s%ld.%03ld", prefix, ms / 1000, ms % 1000);
}

} // namespace

DeltaView::DeltaView(DeltaModel& deltaModel, Qvis::WindowStyle style)
    : Qvis::FramelessDraggableWindow(kWidth, kHeight, true, true, std::move(style)), model(deltaModel)
{
    setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    setupPlot();
}

DeltaView::~DeltaView()
{
    predicted.reset();
    figures.reset();
    centre.reset();
    bar.reset();
    track.reset();
    plot.reset();
}

// One plot over the whole window. Its axes are the bar's band, from -2 s on
// the left to +2 s on the right, without decorations; the figures above it
// and the predicted time below are texts of the plot.
void DeltaView::setupPlot()
{
    // The view owns the plot; the plot's reference to its window owns nothing.
    std::shared_ptr<Qvis::IWindow> self(std::shared_ptr<Qvis::IWindow>(), this);
    plot = std::make_shared<Qvis::Plot>(0.0f, 0.0f, 1.0f, 1.0f, self);
    plot->setPlotOutlineOn(false);
    std::shared_ptr<Qvis::Axes> axes = plot->getAxes();
    axes->setXYAxesOn(false);
    axes->setAxesLabelsOn(false);
    axes->setAxesAreaOutlineOn(false);
    axes->setMajorTickSize(0.0f);
    axes->setMinorTickSize(0.0f);
    axes->setPositionSize(0.05f, 0.34f, 0.9f, 0.16f);
    axes->updateAxesLimits(-DeltaModel::kBarSeconds, DeltaModel::kBarSeconds, 0.0f, 1.0f, true);

    track = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&trackX, &fullY);
    track->setShadeColour(glm::vec3(0.0f, 0.0f, 0.0f));
    track->setOpacityRatio(0.35f);
    bar = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(model.getBarX(), model.getBarY());
    bar->setOpacityRatio(0.9f);
    centre = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&centreX, &fullY);
    centre->setShadeColour(glm::vec3(1.0f, 1.0f, 1.0f));
    plot->addShadedLine(track);
    plot->addShadedLine(bar);
    plot->addShadedLine(centre);

    figures = std::make_shared<Qvis::TextLabel>(0.5f, 0.6f, 40.0f, kEven);
    predicted = std::make_shared<Qvis::TextLabel>(0.5f, 0.1f, 18.0f, glm::vec3(0.85f, 0.85f, 0.85f));
    plot->addText(figures);
    plot->addText(predicted);
}

void DeltaView::drawView()
{
    drawFrame();
    postLoopDraw();
}

// The texts and the bar from the model: nothing while there is no reference,
// blank figures and the reference's time on an out lap.
void DeltaView::drawFrame()
{
    preLoopDraw(true);
    char text[Qvis::TextLabel::kReserved + 1];
    glm::vec3 colour = kEven;
    switch (model.state()) {
    case DeltaModel::State::NoReference:
        figures->setText("");
        predicted->setText("");
        break;
    case DeltaModel::State::OutLap:
        figures->setText("-.---");
        formatLapTime("reference ", model.predictedLapTime(), text, sizeof text);
        predicted->setText(text);
        break;
    case DeltaModel::State::Timing:
        formatDelta(model.delta(), text, sizeof text, &colour);
        figures->setText(text);
        formatLapTime("predicted ", model.predictedLapTime(), text, sizeof text);
        predicted->setText(text);
        break;
    }
    figures->setColour(colour);
    // Without a reference the track and the centre mark hold no samples
    // either; their storage stays.
    const size_t marks = model.state() == DeltaModel::State::NoReference ? 0 : 2;
    trackX.resize(marks);
    centreX.resize(marks);
    if (marks) {
        trackX[0] = -DeltaModel::kBarSeconds;
        trackX[1] = DeltaModel::kBarSeconds;
        centreX[0] = -kCentreHalfWidth;
        centreX[1] = kCentreHalfWidth;
    }
    bar->setShadeColour(model.delta() < 0.0f ? kAhead : kBehind);
    track->updateInternalData(0);
    bar->updateInternalData(0);
    centre->updateInternalData(0);
    plot->Draw();
    notice.draw();
}

void DeltaView::setMessage(const char* text)
{
    plot->getAxes()->setMessage(text);
}
