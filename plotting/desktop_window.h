// What an overlay window asks of the desktop beyond GLFW: to appear without
// taking the keyboard from the window that has it, to let the pointer
// through to the windows below it, where the pointer is, and what is left
// when the window system goes away. One implementation per platform, chosen
// by the build.
#pragma once

struct GLFWwindow;

namespace Qvis::desktop {

// Shows the window, the first time or again after hiding, without moving the
// keyboard focus to it: the window that had the focus keeps it.
void showWithoutFocus(GLFWwindow* window);

// The user pressed a button on the window: it may take the keyboard, so that
// Escape reaches it, where the window system does not give it on its own.
void takeFocusOnClick(GLFWwindow* window);

// With true, every click and pointer movement over the window goes to the
// windows below it, and the window never takes the focus; with false the
// window takes the pointer again, and a click may give it the keyboard.
void setPointerPassThrough(GLFWwindow* window, bool passThrough);

// Where the pointer is on the desktop, in the coordinates of window
// positions; false when the window system cannot say.
bool pointerOnDesktop(GLFWwindow* window, int* x, int* y);

// Keeps the program running when its connection to the window system breaks
// (the X server ended), so that it can end in order with what it knows;
// displayLost() tells it so. Called once GLFW has started; nothing where no
// such connection can break.
void surviveLostConnection();
bool displayLost();

} // namespace Qvis::desktop
