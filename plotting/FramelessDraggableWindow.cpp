#include "FramelessDraggableWindow.h"

#include <cmath>

#include <GLFW/glfw3.h>

namespace Qvis {

namespace {

FramelessDraggableWindow* owner(GLFWwindow* window)
{
    return static_cast<FramelessDraggableWindow*>(
        static_cast<Window*>(glfwGetWindowUserPointer(window)));
}

} // namespace

// A borderless window that never takes focus when shown, dragged by the left button.
FramelessDraggableWindow::FramelessDraggableWindow(int width, int height, bool transparentBuffer,
                                                   bool alwaysOnTop)
    : Window(width, height, transparentBuffer, false)
{
    setFrameless(true);
    setAlwaysOnTop(alwaysOnTop);
    glfwSetMouseButtonCallback(getWindow(), mouse_button_callback);
    glfwSetCursorPosCallback(getWindow(), cursor_position_callback);
}

void FramelessDraggableWindow::showWindow()
{
    glfwShowWindow(getWindow());
}

void FramelessDraggableWindow::hideWindow()
{
    glfwHideWindow(getWindow());
}

// A left press takes the grab point inside the window; a release ends the drag.
void FramelessDraggableWindow::mouse_button_callback(GLFWwindow* window, int button, int action,
                                                     int /*mods*/)
{
    FramelessDraggableWindow* w = owner(window);
    if (!w || button != GLFW_MOUSE_BUTTON_LEFT)
        return;
    if (action == GLFW_PRESS) {
        w->dragging = true;
        double cx = 0.0, cy = 0.0;
        glfwGetCursorPos(window, &cx, &cy);
        w->pressCursorX = static_cast<int>(std::floor(cx));
        w->pressCursorY = static_cast<int>(std::floor(cy));
    } else if (action == GLFW_RELEASE) {
        w->dragging = false;
        w->pressCursorX = 0;
        w->pressCursorY = 0;
    }
}

// While dragging, moves the window by the cursor's displacement from the grab
// point, so the grabbed point stays under the cursor.
void FramelessDraggableWindow::cursor_position_callback(GLFWwindow* window, double xpos, double ypos)
{
    FramelessDraggableWindow* w = owner(window);
    if (!w || !w->dragging)
        return;
    w->dragOffsetX = static_cast<int>(xpos) - w->pressCursorX;
    w->dragOffsetY = static_cast<int>(ypos) - w->pressCursorY;
    int wx = 0, wy = 0;
    glfwGetWindowPos(window, &wx, &wy);
    glfwSetWindowPos(window, wx + w->dragOffsetX, wy + w->dragOffsetY);
}

} // namespace Qvis
