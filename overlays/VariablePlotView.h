// The variable plot: an 800 x 600 frameless, always-on-top, translucent window
// with one coloured line per variable against session time, y autoscaled, and
// a legend of the variables' names in their lines' colours.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include <glm/vec3.hpp>

#include "FramelessDraggableWindow.h"
#include "IDataStrings.h"
#include "Line2D2CircularVecs.h"
#include "VariablePlotModel.h"
#include "notice.h"
#include "plot.h"

class VariablePlotView : public Qvis::FramelessDraggableWindow, private IDataStrings {
public:
    // The window's size at scale 1.
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    template <typename T>
    using HistoryPtrMap = std::unordered_map<IDataStrings::VariableEnum, std::vector<T>*>;
    template <typename U>
    using LineList = std::vector<std::shared_ptr<Qvis::Line2D2CircularVecs<float, U>>>;

    VariablePlotView(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                     HistoryPtrMap<int> intHistories, unsigned int historySeconds, Qvis::WindowStyle style = {});
    ~VariablePlotView();

    void setupPlot();
    void setupLines(HistoryPtrMap<float> floatHistories, HistoryPtrMap<double> doubleHistories,
                    HistoryPtrMap<int> intHistories);
    template <typename U>
    void setupLine(LineList<U>& lines, std::vector<float>* x, const HistoryPtrMap<U>& histories);
    void drawView(unsigned int start);
    // A line of text over the plot while there is nothing to draw; null for none.
    void setMessage(const char* text);
    // A line over the whole picture, dimmed, while it is not live; null for none.
    void setNotice(const char* text) { notice.setText(text); }
    // One frame into the back buffer, not yet presented; drawView presents it.
    void drawFrame(unsigned int start);

    std::shared_ptr<Qvis::Plot> getPlot() const { return plot; }

    // Colours of the lines in the order they were made.
    std::vector<glm::vec3> lineColours() const;
    // Gives the line of this variable's family and slot its legend entry;
    // a variable without a line (an unknown type, the time slot) has none.
    void nameLine(const VarSetup& variable, const std::string& label);

private:
    // A line with the family and slot it was made for.
    struct MadeLine {
        int valueType;
        IDataStrings::VariableEnum slot;
        std::shared_ptr<Qvis::ILine2D> line;
    };

    unsigned int historySeconds = 0;
    int colourIndex = -1;
    std::shared_ptr<Qvis::Plot> plot;
    LineList<int> intLines;
    LineList<float> floatLines;
    LineList<double> doubleLines;
    std::vector<glm::vec3> palette;
    std::vector<MadeLine> madeLines;
    Qvis::Notice notice{*this};
};

// A line for every history but the time axis, in ascending slot order so that
// the colours do not depend on the map's bucket order. Colours follow the
// palette and start over after its last entry.
template <typename U>
void VariablePlotView::setupLine(LineList<U>& lines, std::vector<float>* x, const HistoryPtrMap<U>& histories)
{
    std::vector<IDataStrings::VariableEnum> slots;
    for (const auto& entry : histories)
        if (entry.first != SESSION_TIME)
            slots.push_back(entry.first);
    std::sort(slots.begin(), slots.end());
    for (IDataStrings::VariableEnum slot : slots) {
        ++colourIndex;
        auto line = std::make_shared<Qvis::Line2D2CircularVecs<float, U>>(x, histories.at(slot));
        lines.push_back(line);
        line->setLineColour(palette[static_cast<size_t>(colourIndex) % palette.size()]);
        plot->addLine(line);
        const int valueType = std::is_same_v<U, int>     ? VarSetup::VALUE_INT
                              : std::is_same_v<U, float> ? VarSetup::VALUE_FLOAT
                                                         : VarSetup::VALUE_DOUBLE;
        madeLines.push_back({valueType, slot, line});
    }
}
