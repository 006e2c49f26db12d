// A GLFW window with its own OpenGL 3.3 core context, the global GL state the
// drawing code relies on, a per-frame begin/end bracket and keyboard state.
#pragma once

#include <string>
#include <vector>

#include "IWindow.h"

namespace Qvis {

// A rectangle on the desktop, in screen coordinates.
struct ScreenRect {
    int x, y, width, height;
};

// Whether a window at this place would show enough of itself on one of the
// monitors to be seen and dragged back: a corner of 16 by 16 pixels (or the
// whole window, when it is smaller) on one monitor.
bool isOnAMonitor(const ScreenRect& window, const std::vector<ScreenRect>& monitors);

// Every monitor's whole area, and every monitor's work area (the desktop
// without its panels), the primary monitor's first; empty when there is no
// monitor or GLFW cannot start.
std::vector<ScreenRect> monitorAreas();
std::vector<ScreenRect> workAreas();

// The primary monitor's content scale (1 on a monitor of ordinary density,
// 2 on one of twice that); 1 when it is not known.
float primaryContentScale();

// What the user chooses about an overlay window: its title, and how big and
// how opaque it is drawn.
struct WindowStyle {
    static constexpr float minScale = 0.5f;
    static constexpr float maxScale = 4.0f;

    std::string title = "qvisView";
    float scale = 1.0f;   // multiplies the size, the line widths, the ticks and the text
    float opacity = 1.0f; // multiplies the alpha of the background
};

// Makes the window's context current and waits until its renderer has drawn
// everything it was given.
void finishRendering(GLFWwindow* window);

// Called with the message when a window cannot be opened, just before the
// program stops; for programs whose output no one reads.
void setStartFailureHandler(void (*handler)(const std::string& message));

// The style as a window uses it: scale within minScale..maxScale and opacity
// within 0..1, a value that is not a number taken as 1.
WindowStyle usableStyle(WindowStyle style);

class Window : public IWindow {
public:
    static constexpr int numKeys = 1024;

    Window(int width, int height, bool transparentBuffer, bool focusOnShow, WindowStyle style = {});

    // The place the next window created opens at, instead of where the window
    // manager puts it; ignored when that place is on no monitor.
    static void setNextPosition(int x, int y);

    int getWidth() override { return width; }
    int getHeight() override { return height; }
    GLFWwindow* getWindow() override { return window; }
    float getScale() override { return style.scale; }

    void preLoopDraw(bool clearBackground);
    void postLoopDraw();
    // With several windows in one loop: postLoopDraw only hands the frame to
    // the renderer, and present() shows it, once every window has been drawn,
    // so that a software renderer rasterises one window while the next one
    // is drawn instead of the loop waiting at each swap.
    void setPresentLater(bool later) { presentLater = later; }
    void present();

    void setFrameless(bool frameless);
    void setAlwaysOnTop(bool onTop);
    void setBackgroundColor(float r, float g, float b, float a);

    void setKeysByIndex(int key, bool state);
    void setToggleKeysByIndex(int key, bool state);
    bool getToggleKeyStateByIndex(int key);

    void initGLFW();
    bool initGLAD();
    // Sets the viewport to the stored size, which the size callback keeps.
    void updateStoredSize();
    void setStoredSize(int width, int height);

protected:
    // Runs in preLoopDraw once the window's events have been handled.
    virtual void afterEvents() {}

    GLFWwindow* window = nullptr;
    int width;
    int height;
    float backgroundColor[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    bool transparentBuffer;
    bool focusOnShow;
    bool keys[numKeys] = {};
    bool toggleKeys[numKeys] = {};
    WindowStyle style;

private:
    GLFWwindow* createGLFWWindow();
    bool presentLater = false;
    bool framePending = false;
};

} // namespace Qvis
