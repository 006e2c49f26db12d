#include "window.h"

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "desktop_window.h"

namespace Qvis {

namespace {

// A window the program cannot run without: name the failing step and GLFW's
// reason on one line, end GLFW and stop with a failure status.
void (*startFailureHandler)(const std::string& message) = nullptr;

[[noreturn]] void fail(const char* what)
{
    const char* reason = nullptr;
    glfwGetError(&reason);
    const std::string message = std::string(what) + ": " + (reason ? reason : "no reason given");
    std::printf("qvis: %s\n", message.c_str());
    std::fflush(stdout);
    if (startFailureHandler)
        startFailureHandler(message);
    glfwTerminate();
    std::exit(EXIT_FAILURE);
}

bool nextPositionSet = false;
int nextX = 0;
int nextY = 0;

float within(float v, float lo, float hi)
{
    return std::isnan(v) ? 1.0f : std::clamp(v, lo, hi);
}

// A designed size in pixels at the window's scale.
int scaled(int pixels, float scale)
{
    scale = within(scale, WindowStyle::minScale, WindowStyle::maxScale);
    return static_cast<int>(std::lround(static_cast<double>(pixels) * scale));
}

} // namespace

WindowStyle usableStyle(WindowStyle style)
{
    style.scale = within(style.scale, WindowStyle::minScale, WindowStyle::maxScale);
    style.opacity = within(style.opacity, 0.0f, 1.0f);
    return style;
}

bool isOnAMonitor(const ScreenRect& window, const std::vector<ScreenRect>& monitors)
{
    const long long needX = window.width < 16 ? window.width : 16;
    const long long needY = window.height < 16 ? window.height : 16;
    if (needX <= 0 || needY <= 0)
        return false;
    for (const ScreenRect& m : monitors) {
        // In 64 bits: a position read from a file may lie near the int limits.
        const long long left = std::max<long long>(window.x, m.x);
        const long long right = std::min<long long>(0LL + window.x + window.width, 0LL + m.x + m.width);
        const long long top = std::max<long long>(window.y, m.y);
        const long long bottom = std::min<long long>(0LL + window.y + window.height, 0LL + m.y + m.height);
        if (right - left >= needX && bottom - top >= needY)
            return true;
    }
    return false;
}

void finishRendering(GLFWwindow* window)
{
    glfwMakeContextCurrent(window);
    glFinish();
}

void setStartFailureHandler(void (*handler)(const std::string& message))
{
    startFailureHandler = handler;
}

// GLFW lists the primary monitor first.
std::vector<ScreenRect> monitorAreas()
{
    std::vector<ScreenRect> rects;
    int count = 0;
    GLFWmonitor** monitors = glfwInit() ? glfwGetMonitors(&count) : nullptr;
    for (int i = 0; i < count; ++i) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        if (!mode)
            continue;
        ScreenRect r{0, 0, mode->width, mode->height};
        glfwGetMonitorPos(monitors[i], &r.x, &r.y);
        rects.push_back(r);
    }
    return rects;
}

std::vector<ScreenRect> workAreas()
{
    std::vector<ScreenRect> rects;
    int count = 0;
    GLFWmonitor** monitors = glfwInit() ? glfwGetMonitors(&count) : nullptr;
    for (int i = 0; i < count; ++i) {
        ScreenRect r{0, 0, 0, 0};
        glfwGetMonitorWorkarea(monitors[i], &r.x, &r.y, &r.width, &r.height);
        if (r.width > 0 && r.height > 0)
            rects.push_back(r);
    }
    return rects;
}

float primaryContentScale()
{
    GLFWmonitor* monitor = glfwInit() ? glfwGetPrimaryMonitor() : nullptr;
    float x = 1.0f, y = 1.0f;
    if (monitor)
        glfwGetMonitorContentScale(monitor, &x, &y);
    return x > 0.0f ? x : 1.0f;
}

void Window::setNextPosition(int x, int y)
{
    nextPositionSet = true;
    nextX = x;
    nextY = y;
}

// Escape asks to close; presses and releases keep the key arrays.
void key_callback(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/)
{
    auto* w = static_cast<Window*>(glfwGetWindowUserPointer(window));
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS)
        glfwSetWindowShouldClose(window, GLFW_TRUE);
    if (!w)
        return;
    if (action == GLFW_PRESS) {
        w->setKeysByIndex(key, true);
        w->setToggleKeysByIndex(key, !w->getToggleKeyStateByIndex(key));
    } else if (action == GLFW_RELEASE) {
        w->setKeysByIndex(key, false);
    }
}

// Keeps the size the window system reports, so that a frame needs no round
// trip to ask for it.
void keepSize(GLFWwindow* window, int width, int height)
{
    if (auto* w = static_cast<Window*>(glfwGetWindowUserPointer(window)))
        w->setStoredSize(width, height);
}

Window::Window(int width, int height, bool transparentBuffer, bool focusOnShow, WindowStyle style)
    : width(scaled(width, style.scale)), height(scaled(height, style.scale)),
      transparentBuffer(transparentBuffer), focusOnShow(focusOnShow), style(usableStyle(std::move(style)))
{
    initGLFW();
    // The size asked for may not be the size given; from here on the size
    // callback keeps it.
    glfwGetWindowSize(window, &this->width, &this->height);
    updateStoredSize();
}

// Creates the window and context, loads GL and sets the state all drawing relies on.
void Window::initGLFW()
{
    if (!glfwInit())
        fail("cannot initialise GLFW");
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    // Hints hold until changed: each window states both, so that one window's
    // choice never carries over to the next.
    glfwWindowHint(GLFW_TRANSPARENT_FRAMEBUFFER, transparentBuffer ? GLFW_TRUE : GLFW_FALSE);
    glfwWindowHint(GLFW_FOCUS_ON_SHOW, focusOnShow ? GLFW_TRUE : GLFW_FALSE);

    desktop::surviveLostConnection();
    window = createGLFWWindow();
    if (!window)
        fail("cannot open a window");
    glfwMakeContextCurrent(window);
    if (!initGLAD())
        fail("cannot load the OpenGL 3.3 functions");
    // A swap never waits for the monitor: a program with several windows
    // would otherwise wait once for each in every pass.
    glfwSwapInterval(0);

    glfwSetKeyCallback(window, key_callback);
    glfwSetWindowUserPointer(window, this);
    glfwSetWindowSizeCallback(window, keepSize);

    // Drawing order alone decides what lies on top: there is no depth buffer.
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    glLineWidth(1.0f);
    if (nextPositionSet && isOnAMonitor({nextX, nextY, width, height}, monitorAreas()))
        glfwSetWindowPos(window, nextX, nextY);
    nextPositionSet = false;
    if (focusOnShow)
        glfwShowWindow(window);
    else
        desktop::showWithoutFocus(window);
}

// Opens the window hidden, with a colour buffer only. No multisampling: on a
// software renderer it costs more than everything drawn, the shaded areas
// smooth their own edges, and where a compositor makes the window
// translucent the X server offers alpha visuals only without it anyway. No
// depth or stencil buffer: nothing reads them.
GLFWwindow* Window::createGLFWWindow()
{
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_SAMPLES, 0);
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    GLFWwindow* w = glfwCreateWindow(width, height, style.title.c_str(), nullptr, nullptr);
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    return w;
}

bool Window::initGLAD()
{
    return gladLoadGL(glfwGetProcAddress) != 0;
}

void Window::updateStoredSize()
{
    glViewport(0, 0, width, height);
}

void Window::setStoredSize(int w, int h)
{
    width = w;
    height = h;
}

// Begins a frame: events (and with them all callbacks), context, size, clear.
void Window::preLoopDraw(bool clearBackground)
{
    glfwPollEvents();
    afterEvents();
    glfwMakeContextCurrent(getWindow());
    updateStoredSize();
    if (clearBackground) {
        // The compositor takes the colour as premultiplied by its alpha, so the
        // opacity scales all four: at 0 the desktop shows through unchanged.
        const float o = style.opacity;
        glClearColor(backgroundColor[0] * o, backgroundColor[1] * o, backgroundColor[2] * o, backgroundColor[3] * o);
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

void Window::postLoopDraw()
{
    if (!presentLater) {
        glfwSwapBuffers(getWindow());
        return;
    }
    glFlush();
    framePending = true;
}

void Window::present()
{
    if (!framePending)
        return;
    framePending = false;
    glfwMakeContextCurrent(getWindow());
    glfwSwapBuffers(getWindow());
}

void Window::setFrameless(bool frameless)
{
    glfwSetWindowAttrib(window, GLFW_DECORATED, frameless ? GLFW_FALSE : GLFW_TRUE);
}

void Window::setAlwaysOnTop(bool onTop)
{
    glfwSetWindowAttrib(window, GLFW_FLOATING, onTop ? GLFW_TRUE : GLFW_FALSE);
}

void Window::setBackgroundColor(float r, float g, float b, float a)
{
    backgroundColor[0] = r;
    backgroundColor[1] = g;
    backgroundColor[2] = b;
    backgroundColor[3] = a;
}

void Window::setKeysByIndex(int key, bool state)
{
    if (key >= 0 && key < numKeys)
        keys[key] = state;
}

void Window::setToggleKeysByIndex(int key, bool state)
{
    if (key >= 0 && key < numKeys)
        toggleKeys[key] = state;
}

bool Window::getToggleKeyStateByIndex(int key)
{
    return key >= 0 && key < numKeys && toggleKeys[key];
}

} // namespace Qvis
