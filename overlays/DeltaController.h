// Controller of the delta overlay: each pass, the time into the current lap
// minus the reference lap's time at the same fraction of the lap, against the
// reference lap the strip shows (shared with it when both run).
#pragma once

#include <memory>

#include "DeltaModel.h"
#include "DeltaView.h"
#include "IDataReceiver.h"
#include "IRData.h"
#include "LapTiming.h"
#include "ReferenceLap.h"

class DeltaController : public IDataReceiver {
public:
    // With no reference given the overlay has one of its own.
    DeltaController(std::shared_ptr<IRData> irData, Qvis::WindowStyle style = {},
                    std::shared_ptr<ReferenceLap> reference = {});
    ~DeltaController();
    DeltaController(const DeltaController&) = delete;
    DeltaController& operator=(const DeltaController&) = delete;

    void updateData() override;

    // The overlay window, as the main loop drives it. Until the first sample
    // it says why there is none, when the source knows; then, while there is
    // no reference lap with timing, that there is none yet.
    void drawWindow();
    GLFWwindow* getWindow();
    void showWindow();
    void hideWindow();
    void getWindowPosition(int* x, int* y);
    void setLocked(bool locked);
    // A new session begins with the next sample: no lap is timed until the
    // car crosses the line; the reference lap stays.
    void startAfresh();
    // The line over the dimmed picture while the source sends nothing new; null when live.
    void setStale(const char* text);

    std::shared_ptr<DeltaModel> getModel() const { return model; }
    std::shared_ptr<DeltaView> getView() const { return view; }
    const std::shared_ptr<ReferenceLap>& getReference() const { return reference; }

private:
    std::shared_ptr<IRData> irData;
    bool sampled = false;
    std::shared_ptr<ReferenceLap> reference;
    // Where the lookup stands in the reference's table, and for which reference.
    LapCursor cursor;
    unsigned long cursorReference = 0;
    std::shared_ptr<DeltaModel> model;
    std::shared_ptr<DeltaView> view;
};
