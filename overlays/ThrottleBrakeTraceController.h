// Controller of the throttle/brake overlay: stores the driver's pedals each pass
// and keeps the fastest lap's pedals, by lap position, as a reference.
#pragma once

#include <memory>

#include "IDataReceiver.h"
#include "IRData.h"
#include "ReferenceLapKeeper.h"
#include "ThrottleBrakeTraceModel.h"
#include "ThrottleBrakeTraceView.h"

class ThrottleBrakeTraceController : public IDataReceiver {
public:
    ThrottleBrakeTraceController(std::shared_ptr<IRData> irData, unsigned int historySeconds,
                                 Qvis::WindowStyle style = {});
    ~ThrottleBrakeTraceController();
    ThrottleBrakeTraceController(const ThrottleBrakeTraceController&) = delete;
    ThrottleBrakeTraceController& operator=(const ThrottleBrakeTraceController&) = delete;

    void updateData() override;

    // Keeps the best lap across runs through the keeper: its stored lap is the
    // reference from the start, and each new reference lap is offered to it.
    // Without a keeper (file mode, or turned off) nothing is loaded or stored.
    void keepReferenceLaps(std::shared_ptr<ReferenceLapKeeper> laps) { keeper = std::move(laps); }

    // The overlay window, as the main loop drives it. Until the first sample
    // it says why there is none, when the source knows.
    void drawWindow();
    GLFWwindow* getWindow();
    void showWindow();
    void hideWindow();
    void getWindowPosition(int* x, int* y);
    void setLocked(bool locked);
    // A new session begins with the next sample: the histories and the lap
    // being recorded start afresh; the reference lap stays.
    void startAfresh();
    // The line over the dimmed picture while the source sends nothing new; null when live.
    void setStale(const char* text);

    std::shared_ptr<ThrottleBrakeTraceModel> getModel() const { return model; }
    std::shared_ptr<ThrottleBrakeTraceView> getView() const { return view; }

private:
    std::shared_ptr<IRData> irData;
    bool sampled = false;
    bool sessionBegins = false;
    std::shared_ptr<ThrottleBrakeTraceModel> model;
    std::shared_ptr<ThrottleBrakeTraceView> view;
    std::shared_ptr<ReferenceLapKeeper> keeper;
};
