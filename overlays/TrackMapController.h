// Controller of the track map: reconstructs the car's path by dead reckoning
// from its velocity and heading, one step per telemetry sample.
#pragma once

#include <memory>

#include <glm/vec3.hpp>

#include "IDataReceiver.h"
#include "IRData.h"
#include "TrackMapModel.h"
#include "TrackMapView.h"

class TrackMapController : public IDataReceiver {
public:
    TrackMapController(std::shared_ptr<IRData> irData, unsigned int historySeconds, Qvis::WindowStyle style = {});
    ~TrackMapController();
    TrackMapController(const TrackMapController&) = delete;
    TrackMapController& operator=(const TrackMapController&) = delete;

    void updateData() override;

    // The position after one sample: the trapezoidal step of the velocity over
    // dt, turned by the negative heading about the vertical axis, added to pPrev.
    static glm::vec3 calculatePosition(glm::vec3 vPrev, glm::vec3 vCur, float dt, float yaw, glm::vec3 pPrev);

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

    std::shared_ptr<TrackMapModel> getModel() const { return model; }
    std::shared_ptr<TrackMapView> getView() const { return view; }

private:
    std::shared_ptr<IRData> irData;
    bool sampled = false;
    std::shared_ptr<TrackMapModel> model;
    std::shared_ptr<TrackMapView> view;
};
