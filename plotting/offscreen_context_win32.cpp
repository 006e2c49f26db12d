// The off-screen context on Windows: the context of a hidden GLFW window,
// which is never shown; drawing goes into framebuffer objects alike.
#include "offscreen_context.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

namespace Qvis {
namespace offscreen {

struct Context {
    GLFWwindow* window = nullptr;
};

namespace {

std::string glfwReason()
{
    const char* reason = nullptr;
    glfwGetError(&reason);
    return reason ? reason : "no reason given";
}

} // namespace

Context* makeContext(std::string* error)
{
    if (!glfwInit()) {
        *error = "cannot initialise GLFW: " + glfwReason();
        return nullptr;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    auto* c = new Context;
    c->window = glfwCreateWindow(16, 16, "offscreen", nullptr, nullptr);
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    if (!c->window) {
        *error = "cannot make a hidden window with an OpenGL 3.3 core context: " + glfwReason();
        destroyContext(c);
        return nullptr;
    }
    glfwMakeContextCurrent(c->window);
    if (!gladLoadGL(glfwGetProcAddress)) {
        *error = "cannot load the OpenGL 3.3 functions";
        destroyContext(c);
        return nullptr;
    }
    return c;
}

void makeCurrent(Context* c)
{
    glfwMakeContextCurrent(c->window);
}

void destroyContext(Context* c)
{
    if (!c)
        return;
    if (c->window)
        glfwDestroyWindow(c->window);
    delete c;
    glfwTerminate();
}

GLFWwindow* windowOf(Context* c)
{
    return c->window;
}

} // namespace offscreen
} // namespace Qvis
