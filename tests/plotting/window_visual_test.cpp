// Which framebuffer the window gets: alpha that the compositor uses where the
// window is translucent, and never samples or a depth buffer, which a
// software renderer would pay for in every frame.
#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "gl_fixture.h"
#include "test_display.h"

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>

namespace {

// A compositing manager owns the _NET_WM_CM_Sn selection of its screen.
bool compositorRunning()
{
    Display* d = glfwGetX11Display();
    std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
    return XGetSelectionOwner(d, XInternAtom(d, name.c_str(), False)) != 0;
}

int framebufferValue(GLenum what)
{
    GLint v = -1;
    glGetIntegerv(what, &v);
    return v;
}

bool hasDepthBuffer()
{
    GLint type = -1;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    return type != GL_NONE;
}

} // namespace

TEST_F(GlTest, TranslucentWindowKeepsItsAlphaAndNoWindowHasSamplesOrDepth)
{
    openWindow(200, 100);
    if (!compositorRunning())
        DISPLAY_MISSING("no compositing manager: no window can be translucent");
    EXPECT_TRUE(glfwGetWindowAttrib(window->getWindow(), GLFW_TRANSPARENT_FRAMEBUFFER));
    Pixels p(200, 100);
    EXPECT_EQ(p.raw()[3], 191); // the background's alpha 0.75 is kept for the compositor
    EXPECT_EQ(framebufferValue(GL_SAMPLES), 0);
    EXPECT_FALSE(hasDepthBuffer());

    Qvis::Window opaque(200, 100, false, true);
    EXPECT_FALSE(glfwGetWindowAttrib(opaque.getWindow(), GLFW_TRANSPARENT_FRAMEBUFFER));
    EXPECT_EQ(framebufferValue(GL_SAMPLES), 0);
    EXPECT_FALSE(hasDepthBuffer());
    glfwDestroyWindow(opaque.getWindow());
}
