// The desktop requests on Windows: showing without activation, and a layered,
// transparent window that hit-testing passes through.
#include "desktop_window.h"

#include <windows.h>

#define GLFW_EXPOSE_NATIVE_WIN32
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>

namespace Qvis::desktop {

bool pointerOnDesktop(GLFWwindow* /*window*/, int* x, int* y)
{
    POINT p{};
    if (!GetCursorPos(&p))
        return false;
    *x = p.x;
    *y = p.y;
    return true;
}

// A window on Windows ends with its process: there is no connection to lose.
void surviveLostConnection()
{
}

bool displayLost()
{
    return false;
}

// SW_SHOWNA shows without activating on Windows itself. Under Wine an X
// window manager (openbox, say) offers the focus to every window it maps, at
// a moment that a loaded machine may delay by seconds, and Wine takes the
// offer for any window that may be activated. So the window refuses
// activation (WS_EX_NOACTIVATE) from each show on, until the user clicks it.
void showWithoutFocus(GLFWwindow* window)
{
    const HWND hwnd = glfwGetWin32Window(window);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOWNA);
}

// The user clicked the window: it may take the keyboard now, so that Escape
// reaches it. A window the pointer passes through is never clicked.
void takeFocusOnClick(GLFWwindow* window)
{
    const HWND hwnd = glfwGetWin32Window(window);
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    if (style & WS_EX_TRANSPARENT)
        return;
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style & ~static_cast<LONG_PTR>(WS_EX_NOACTIVATE));
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
}

// WS_EX_TRANSPARENT makes hit-testing skip the window, which takes effect
// only on a layered window; a layered window is drawn only once its
// attributes are set, here fully opaque so that the framebuffer's own alpha
// still decides. WS_EX_NOACTIVATE keeps it from being activated meanwhile,
// and after unlocking until it is clicked. Unlocking keeps the layered style
// when it carries an opacity below full.
void setPointerPassThrough(GLFWwindow* window, bool passThrough)
{
    const HWND hwnd = glfwGetWin32Window(window);
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    if (passThrough) {
        const bool layered = (style & WS_EX_LAYERED) != 0;
        SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style | WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE);
        if (!layered)
            SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
        return;
    }
    style &= ~static_cast<LONG_PTR>(WS_EX_TRANSPARENT);
    BYTE alpha = 255;
    DWORD flags = 0;
    if ((style & WS_EX_LAYERED) && GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) &&
        flags == LWA_ALPHA && alpha == 255)
        style &= ~static_cast<LONG_PTR>(WS_EX_LAYERED);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style);
}

} // namespace Qvis::desktop
