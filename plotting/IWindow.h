// The drawable window as plots and axes see it: its size, its GLFW handle and
// the scale it is drawn at.
#pragma once

struct GLFWwindow;

namespace Qvis {

class IWindow {
public:
    virtual ~IWindow() = default;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual GLFWwindow* getWindow() = 0;
    // How much larger than designed everything is drawn: line widths, text.
    virtual float getScale() { return 1.0f; }
};

} // namespace Qvis
