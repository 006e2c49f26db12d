// A window without decorations that the user moves by dragging it with the
// left mouse button, optionally kept above all other windows.
#pragma once

#include "window.h"

namespace Qvis {

class FramelessDraggableWindow : public Window {
public:
    FramelessDraggableWindow(int width, int height, bool transparentBuffer, bool alwaysOnTop);

    void showWindow();
    void hideWindow();

    static void mouse_button_callback(GLFWwindow* window, int button, int action, int mods);
    static void cursor_position_callback(GLFWwindow* window, double xpos, double ypos);

protected:
    bool dragging = false;
    int pressCursorX = 0;
    int pressCursorY = 0;
    int dragOffsetX = 0;
    int dragOffsetY = 0;
};

} // namespace Qvis
