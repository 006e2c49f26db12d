// Controller of the variable plot: reads every configured variable once per
// pass, as int, float or double, into the history of its slot.
#pragma once

#include <memory>
#include <vector>

#include "IDataReceiver.h"
#include "IRData.h"
#include "VariablePlotModel.h"
#include "VariablePlotView.h"

class VariablePlotController : public IDataReceiver {
public:
    VariablePlotController(std::shared_ptr<IRData> irData, unsigned int historySeconds, std::vector<VarSetup> list,
                           Qvis::WindowStyle style = {});
    ~VariablePlotController();
    VariablePlotController(const VariablePlotController&) = delete;
    VariablePlotController& operator=(const VariablePlotController&) = delete;

    void updateData() override;

    // The overlay window, as the main loop drives it. Until the first sample
    // it says why there is none, when the source knows.
    void drawWindow();
    GLFWwindow* getWindow();
    void showWindow();
    void hideWindow();
    void getWindowPosition(int* x, int* y);
    void setLocked(bool locked);
    // A new session begins with the next sample: the histories start afresh.
    void startAfresh();
    // The line over the dimmed picture while the source sends nothing new; null when live.
    void setStale(const char* text);

    std::shared_ptr<VariablePlotModel> getModel() const { return model; }
    std::shared_ptr<VariablePlotView> getView() const { return view; }

private:
    void markMissingVariables();

    std::vector<VarSetup> varList;
    std::shared_ptr<IRData> irData;
    bool sampled = false;
    std::vector<char> reportedMissing;
    std::shared_ptr<VariablePlotModel> model;
    std::shared_ptr<VariablePlotView> view;
};
