// The desktop requests on X11: the EWMH user time, the input shape, the
// pointer, and a connection that breaks.
#include "desktop_window.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

namespace Qvis::desktop {

namespace {

volatile bool lost = false;

// Xlib's own handler prints a line per broken connection; the program says
// it once, in its words.
int quietly(Display*)
{
    return 0;
}

// Xlib ends the process (status 1) after a connection breaks unless the
// display has an exit handler of its own. This one notes the loss and
// returns; Xlib then lets every later request on that display fail at once.
void noteLoss(Display*, void*)
{
    lost = true;
}

} // namespace

void surviveLostConnection()
{
    XSetIOErrorHandler(quietly);
    if (Display* display = glfwGetX11Display())
        XSetIOErrorExitHandler(display, noteLoss, nullptr);
}

bool displayLost()
{
    return lost;
}

bool pointerOnDesktop(GLFWwindow* window, int* x, int* y)
{
    ::Window root = 0, child = 0;
    int inX = 0, inY = 0;
    unsigned int buttons = 0;
    return !lost && XQueryPointer(glfwGetX11Display(), glfwGetX11Window(window), &root, &child, x, y, &inX, &inY,
                                  &buttons);
}

// A window manager maps a window whose _NET_WM_USER_TIME is 0 without giving
// it the focus: the user did nothing that asked for it. The property is read
// at every map, so it is written before each show.
void showWithoutFocus(GLFWwindow* window)
{
    Display* display = glfwGetX11Display();
    const ::Window xwindow = glfwGetX11Window(window);
    const Atom userTime = XInternAtom(display, "_NET_WM_USER_TIME", False);
    const long zero = 0; // format 32 properties are passed as longs
    XChangeProperty(display, xwindow, userTime, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&zero), 1);
    glfwShowWindow(window);
}

// The window manager gives a clicked window the keyboard itself.
void takeFocusOnClick(GLFWwindow* /*window*/)
{
}

// An empty input shape lets every pointer event through to what lies below;
// resetting the shape gives the window its whole rectangle back. The input
// hint keeps the window manager from giving a pass-through window the focus
// in other ways (such as when the focused window closes).
void setPointerPassThrough(GLFWwindow* window, bool passThrough)
{
    Display* display = glfwGetX11Display();
    const ::Window xwindow = glfwGetX11Window(window);
    int eventBase = 0, errorBase = 0;
    if (XShapeQueryExtension(display, &eventBase, &errorBase)) {
        if (passThrough)
            XShapeCombineRectangles(display, xwindow, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
        else
            XShapeCombineMask(display, xwindow, ShapeInput, 0, 0, None, ShapeSet);
    }
    XWMHints* hints = XGetWMHints(display, xwindow);
    if (!hints)
        hints = XAllocWMHints();
    if (hints) {
        hints->flags |= InputHint;
        hints->input = passThrough ? False : True;
        XSetWMHints(display, xwindow, hints);
        XFree(hints);
    }
    XFlush(display);
}

} // namespace Qvis::desktop
