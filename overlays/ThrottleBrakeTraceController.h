// Controller of the throttle/brake overlay: stores the driver's pedals each pass
// and, as lines, the pedals of the reference lap at the car's lap position.
#pragma once

#include <memory>

#include "IDataReceiver.h"
#include "IRData.h"
#include "ReferenceLap.h"
#include "ThrottleBrakeTraceModel.h"
#include "ThrottleBrakeTraceView.h"

class ThrottleBrakeTraceController : public IDataReceiver {
public:
    // The reference lap is shared with the other overlays that show it; with
    // none given the strip has one of its own.
    ThrottleBrakeTraceController(std::shared_ptr<IRData> irData, unsigned int historySeconds,
                                 Qvis::WindowStyle style = {}, std::shared_ptr<ReferenceLap> reference = {});
    ~ThrottleBrakeTraceController();
    ThrottleBrakeTraceController(const ThrottleBrakeTraceController&) = delete;
    ThrottleBrakeTraceController& operator=(const ThrottleBrakeTraceController&) = delete;

    void updateData() override;

    const std::shared_ptr<ReferenceLap>& getReference() const { return reference; }

    // The overlay window, as the main loop drives it. Until the first sample
    // it says why there is none, when the source knows.
    void drawWindow();
    GLFWwindow* getWindow();
    void showWindow();
    void hideWindow();
    void getWindowPosition(int* x, int* y);
    void setLocked(bool locked);
    // A new session begins with the next sample: the histories and the lap
    // being recorded start afresh; the reference lap stays (ReferenceLap).
    void startAfresh();
    // The line over the dimmed picture while the source sends nothing new; null when live.
    void setStale(const char* text);

    std::shared_ptr<ThrottleBrakeTraceModel> getModel() const { return model; }
    std::shared_ptr<ThrottleBrakeTraceView> getView() const { return view; }

private:
    std::shared_ptr<IRData> irData;
    bool sampled = false;
    std::shared_ptr<ThrottleBrakeTraceModel> model;
    std::shared_ptr<ThrottleBrakeTraceView> view;
    std::shared_ptr<ReferenceLap> reference;
};
