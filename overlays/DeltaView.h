// The delta overlay: a 300 x 110 frameless, always-on-top, translucent window
// with the time against the reference lap in large figures, green while ahead
// and red while behind, a bar from the centre (left ahead, right behind, full
// at two seconds) and the predicted lap time below.
#pragma once

#include <memory>
#include <vector>

#include "DeltaModel.h"
#include "FramelessDraggableWindow.h"
#include "ShadedLine2D2CircularVecs.h"
#include "notice.h"
#include "plot.h"
#include "text_label.h"

class DeltaView : public Qvis::FramelessDraggableWindow {
public:
    // The window's size at scale 1.
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 110;

    // The view draws what the model holds; the model outlives it.
    DeltaView(DeltaModel& model, Qvis::WindowStyle style = {});
    ~DeltaView();

    void drawView();
    // One frame into the back buffer, not yet presented; drawView presents it.
    void drawFrame();
    // A line of text over the window while there is nothing to show; null for none.
    void setMessage(const char* text);
    // A line over the whole picture, dimmed, while it is not live; null for none.
    void setNotice(const char* text) { notice.setText(text); }

    std::shared_ptr<Qvis::Plot> getPlot() const { return plot; }

    // The colours of the figures and the bar while ahead and while behind.
    static const glm::vec3 kAhead;
    static const glm::vec3 kBehind;

private:
    void setupPlot();

    DeltaModel& model;
    std::shared_ptr<Qvis::Plot> plot;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> track;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> bar;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> centre;
    std::shared_ptr<Qvis::TextLabel> figures;
    std::shared_ptr<Qvis::TextLabel> predicted;
    // The bar's track across the whole range, and the centre mark over the
    // bar, two pixels wide at scale 1.
    static constexpr float kCentreHalfWidth = 0.015f;
    std::vector<float> trackX{-DeltaModel::kBarSeconds, DeltaModel::kBarSeconds};
    std::vector<float> centreX{-kCentreHalfWidth, kCentreHalfWidth};
    std::vector<float> fullY{1.0f, 1.0f};
    Qvis::Notice notice{*this};
};
