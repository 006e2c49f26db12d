// One overlay as the programs drive it: a controller with its window behind
// one interface, so that one loop runs any number of them on one source.
#pragma once

#include <utility>

#include <GLFW/glfw3.h>

#include "Settings.h"

class Overlay {
public:
    explicit Overlay(OverlayKind kind) : kind(kind) {}
    virtual ~Overlay() = default;
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    virtual void updateData() = 0;
    // The next sample begins another session: the overlay's histories start
    // afresh, so that nothing it draws joins two sessions. What outlives a
    // session (the strip's reference lap) stays.
    virtual void startAfresh() = 0;
    // While the source sends nothing new the picture is drawn dimmed under
    // this line (one way for every overlay: its view's Qvis::Notice); null
    // when it is live again, and the picture is as it was.
    virtual void setStale(const char* text) = 0;
    // Draws the window's next frame; presentWindow shows it.
    virtual void drawWindow() = 0;
    virtual void presentWindow() = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual GLFWwindow* getWindow() = 0;
    virtual void getWindowPosition(int* x, int* y) = 0;
    // Whether the user has dragged the window since it opened.
    virtual bool wasMoved() = 0;
    virtual void setLocked(bool locked) = 0;

    const OverlayKind kind;
};

template <class Controller>
class ControllerOverlay final : public Overlay {
public:
    template <class... Args>
    explicit ControllerOverlay(OverlayKind kind, Args&&... args)
        : Overlay(kind), controller(std::forward<Args>(args)...)
    {
        controller.getView()->setPresentLater(true);
    }

    void updateData() override { controller.updateData(); }
    void startAfresh() override { controller.startAfresh(); }
    void setStale(const char* text) override { controller.setStale(text); }
    void drawWindow() override { controller.drawWindow(); }
    void presentWindow() override { controller.getView()->present(); }
    void showWindow() override { controller.showWindow(); }
    void hideWindow() override { controller.hideWindow(); }
    GLFWwindow* getWindow() override { return controller.getWindow(); }
    void getWindowPosition(int* x, int* y) override { controller.getWindowPosition(x, y); }
    bool wasMoved() override { return controller.getView()->wasDragged(); }
    void setLocked(bool locked) override { controller.setLocked(locked); }

    Controller controller;
};
