// The drawable window as plots and axes see it: its size and its GLFW handle.
#pragma once

struct GLFWwindow;

namespace Qvis {

class IWindow {
public:
    virtual ~IWindow() = default;
    virtual int getWidth() = 0;
    virtual int getHeight() = 0;
    virtual GLFWwindow* getWindow() = 0;
};

} // namespace Qvis
