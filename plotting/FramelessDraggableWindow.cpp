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
    if (desktop::displayLost()) {
        *x = dragged ? knownX : hiddenX;
        *y = dragged ? knownY : hiddenY;
    } else if (hidden) {
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

// A left press takes the grab point inside the window, and where the window
// and the pointer are on the desktop; a release ends the drag where the
// pointer is. A locked window ignores any press that still reaches it.
void FramelessDraggableWindow::mouse_button_callback(GLFWwindow* window, int button, int action,
                                                     int /*mods*/)
{
    FramelessDraggableWindow* w = owner(window);
    if (!w || w->locked || button != GLFW_MOUSE_BUTTON_LEFT)
        return;
    if (action == GLFW_PRESS) {
        desktop::takeFocusOnClick(window);
        double cx = 0.0, cy = 0.0;
        glfwGetCursorPos(window, &cx, &cy);
        w->pressCursorX = static_cast<int>(std::floor(cx));
        w->pressCursorY = static_cast<int>(std::floor(cy));
        glfwGetWindowPos(window, &w->pressWindowX, &w->pressWindowY);
        w->knownX = w->pressWindowX;
        w->knownY = w->pressWindowY;
        if (!desktop::pointerOnDesktop(window, &w->pressPointerX, &w->pressPointerY)) {
            w->pressPointerX = w->pressWindowX + w->pressCursorX;
            w->pressPointerY = w->pressWindowY + w->pressCursorY;
        }
        w->dragging = true;
    } else if (action == GLFW_RELEASE && w->dragging) {
        w->follow();
        w->dragging = false;
        w->pressCursorX = 0;
        w->pressCursorY = 0;
    }
}

void FramelessDraggableWindow::cursor_position_callback(GLFWwindow* window, double /*xpos*/, double /*ypos*/)
{
    FramelessDraggableWindow* w = owner(window);
    if (w && w->dragging)
        w->follow();
}

void FramelessDraggableWindow::afterEvents()
{
    if (dragging)
        follow();
}

// Puts the window where the pointer has taken the grabbed point: its place
// at the press plus the pointer's way across the desktop since. The pointer
// is asked where it is now rather than taken from the motion event: the
// window system reports a motion relative to the window, which the drag
// itself moves, and GLFW drops a motion that lands on the same window
// coordinates as the one before it (the pointer and the window moved
// alike), so the window would end one motion short of the pointer.
void FramelessDraggableWindow::follow()
{
    int px = 0, py = 0;
    if (!desktop::pointerOnDesktop(getWindow(), &px, &py))
        return;
    const int x = pressWindowX + px - pressPointerX;
    const int y = pressWindowY + py - pressPointerY;
    if (x == knownX && y == knownY)
        return;
    dragOffsetX = x - knownX;
    dragOffsetY = y - knownY;
    knownX = x;
    knownY = y;
    dragged = true;
    glfwSetWindowPos(getWindow(), x, y);
}

} // namespace Qvis
