#include "FramelessDraggableWindow.h"

#include <cmath>
#include <utility>

#include <GLFW/glfw3.h>

#include "desktop_window.h"

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
                                                   bool alwaysOnTop, WindowStyle style)
    : Window(width, height, transparentBuffer, false, std::move(style))
    , alwaysOnTop(alwaysOnTop)
{
    setFrameless(true);
    setAlwaysOnTop(alwaysOnTop);
    glfwSetMouseButtonCallback(getWindow(), mouse_button_callback);
    glfwSetCursorPosCallback(getWindow(), cursor_position_callback);
}

// A window manager forgets the state of a window while it is withdrawn: under
// X11 the strip would come back below other windows (GLFW still reports it as
// floating, and ignores a request that matches what it believes) and wherever
// the manager places it. So both are set again on the hidden window, where
// GLFW writes them as the initial state the manager reads when it maps it.
// The manager also frames the window anew and takes its input shape over only
// when that changes, so a lock is stated again once the window is shown.
void FramelessDraggableWindow::showWindow()
{
    if (hidden) {
        glfwSetWindowPos(getWindow(), hiddenX, hiddenY);
        if (alwaysOnTop) {
            setAlwaysOnTop(false);
            setAlwaysOnTop(true);
        }
        hidden = false;
    }
    desktop::showWithoutFocus(getWindow());
    if (locked)
        desktop::setPointerPassThrough(getWindow(), true);
}

// Remembers where the window was when it is hidden; hiding a hidden window
// changes nothing.
void FramelessDraggableWindow::hideWindow()
{
    if (!hidden && glfwGetWindowAttrib(getWindow(), GLFW_VISIBLE)) {
        glfwGetWindowPos(getWindow(), &hiddenX, &hiddenY);
        hidden = true;
    }
    glfwHideWindow(getWindow());
}

void FramelessDraggableWindow::getPosition(int* x, int* y)
{
    if (hidden) {
        *x = hiddenX;
        *y = hiddenY;
    } else {
        glfwGetWindowPos(getWindow(), x, y);
    }
}

// A drag under way ends with the lock.
void FramelessDraggableWindow::setLocked(bool lock)
{
    if (lock == locked)
        return;
    locked = lock;
    dragging = false;
    desktop::setPointerPassThrough(getWindow(), lock);
}

// A left press takes the grab point inside the window; a release ends the
// drag. A locked window ignores any press that still reaches it.
void FramelessDraggableWindow::mouse_button_callback(GLFWwindow* window, int button, int action,
                                                     int /*mods*/)
{
    FramelessDraggableWindow* w = owner(window);
    if (!w || w->locked || button != GLFW_MOUSE_BUTTON_LEFT)
        return;
    if (action == GLFW_PRESS) {
        desktop::takeFocusOnClick(window);
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
    w->dragged = w->dragged || w->dragOffsetX != 0 || w->dragOffsetY != 0;
}

} // namespace Qvis
