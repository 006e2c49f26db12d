// What an overlay window asks of the desktop beyond GLFW: to appear without
// taking the keyboard from the window that has it, and to let the pointer
// through to the windows below it. One implementation per platform, chosen
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

} // namespace Qvis::desktop
