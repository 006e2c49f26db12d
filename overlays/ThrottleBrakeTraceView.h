// The throttle/brake strip: a 700 x 80 frameless, always-on-top, translucent
// window with the driver's pedals as shaded areas and the reference lap's
// pedals as lines over the last few seconds.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "FramelessDraggableWindow.h"
#include "IDataStrings.h"
#include "Line2D2CircularVecs.h"
#include "ShadedLine2D2CircularVecs.h"
#include "notice.h"
#include "plot.h"

class ThrottleBrakeTraceView : public Qvis::FramelessDraggableWindow, private IDataStrings {
public:
    // The window's size at scale 1.
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 80;

    using HistoryPtrMap = std::unordered_map<IDataStrings::VariableEnum, std::vector<float>*>;

    ThrottleBrakeTraceView(HistoryPtrMap histories, unsigned int historySeconds, Qvis::WindowStyle style = {});
    ~ThrottleBrakeTraceView();

    void setupPlot();
    void setupLines(HistoryPtrMap histories);
    void drawView(unsigned int start);
    // A line of text over the plot while there is nothing to draw; null for none.
    void setMessage(const char* text);
    // A line over the whole picture, dimmed, while it is not live; null for none.
    void setNotice(const char* text) { notice.setText(text); }

private:
    float shadeOpacity = 0.5f;
    uint32_t historySeconds = 0;
    std::shared_ptr<Qvis::Plot> plot;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> throttleArea;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> brakeArea;
    std::shared_ptr<Qvis::Line2D2CircularVecs<float, float>> refThrottleLine;
    std::shared_ptr<Qvis::Line2D2CircularVecs<float, float>> refBrakeLine;
    Qvis::Notice notice{*this};
};
