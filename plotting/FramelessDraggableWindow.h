// A window without decorations that the user moves by dragging it with the
// left mouse button, optionally kept above all other windows. It never takes
// the keyboard focus when it is shown; locked, it lets the pointer through.
#pragma once

#include "window.h"

namespace Qvis {

class FramelessDraggableWindow : public Window {
public:
    FramelessDraggableWindow(int width, int height, bool transparentBuffer, bool alwaysOnTop,
                             WindowStyle style = {});

    // Showing again puts the window back where it was hidden and above other
    // windows again: window managers forget both while a window is withdrawn.
    void showWindow();
    void hideWindow();

    // Where the window is on the desktop: its current place while shown, the
    // place it was hidden from while hidden; once the window system has gone,
    // the last place known.
    void getPosition(int* x, int* y);

    // Whether the user has dragged the window anywhere since it opened.
    bool wasDragged() const { return dragged; }

    // Locked, every click and pointer movement over the window goes to the
    // window below it: it cannot be dragged and never takes the focus.
    // Unlocked (as it opens), it is dragged, and a click may give it the
    // keyboard. The state holds across hiding and showing.
    void setLocked(bool locked);
    bool isLocked() const { return locked; }

    static void mouse_button_callback(GLFWwindow* window, int button, int action, int mods);
    static void cursor_position_callback(GLFWwindow* window, double xpos, double ypos);

protected:
    // While dragging, after each batch of events: see follow().
    void afterEvents() override;

    bool dragging = false;
    int pressCursorX = 0;
    int pressCursorY = 0;
    int dragOffsetX = 0;
    int dragOffsetY = 0;

private:
    void follow();

    // Where the window and the pointer were on the desktop at the press.
    int pressWindowX = 0;
    int pressWindowY = 0;
    int pressPointerX = 0;
    int pressPointerY = 0;
    int knownX = 0; // where the drag put the window last
    int knownY = 0;
    bool dragged = false;
    bool alwaysOnTop = false;
    bool locked = false;
    bool hidden = false;
    int hiddenX = 0;
    int hiddenY = 0;
};

} // namespace Qvis
