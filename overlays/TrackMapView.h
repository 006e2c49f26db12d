// The track map: an 800 x 600 frameless, always-on-top, translucent window
// with the dead-reckoned path drawn as one line, x against y, at equal scales.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "FramelessDraggableWindow.h"
#include "IDataStrings.h"
#include "Line2D2CircularVecs.h"
#include "notice.h"
#include "plot.h"

class TrackMapView : public Qvis::FramelessDraggableWindow {
public:
    // The window's size at scale 1.
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    using HistoryPtrMap = std::unordered_map<IDataStrings::VariableEnum, std::vector<float>*>;

    TrackMapView(HistoryPtrMap histories, unsigned int historySeconds, Qvis::WindowStyle style = {});
    ~TrackMapView();

    void setupPlot();
    void setupLines(HistoryPtrMap histories);
    void drawView(unsigned int start);
    // A line of text over the plot while there is nothing to draw; null for none.
    void setMessage(const char* text);
    // A line over the whole picture, dimmed, while it is not live; null for none.
    void setNotice(const char* text) { notice.setText(text); }
    // One frame into the back buffer, not yet presented; drawView presents it.
    void drawFrame(unsigned int start);

    std::shared_ptr<Qvis::Plot> getPlot() const { return plot; }

private:
    unsigned int historySeconds = 0;
    std::shared_ptr<Qvis::Plot> plot;
    std::shared_ptr<Qvis::Line2D2CircularVecs<float, float>> mapLine;
    Qvis::Notice notice{*this};
};
