// Which framebuffer the window gets: four samples as asked, but where the X
// server offers alpha visuals only without multisampling (Xvfb with Mesa), a
// translucent window gives up the samples to stay translucent.
#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "gl_fixture.h"

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

int samples()
{
    GLint s = -1;
    glGetIntegerv(GL_SAMPLES, &s);
    return s;
}

} // namespace

TEST_F(GlTest, TranslucentWindowKeepsItsAlphaAndOpaqueOneItsSamples)
{
    openWindow(200, 100);
    if (!compositorRunning())
        GTEST_SKIP() << "no compositing manager: no window can be translucent";
    EXPECT_TRUE(glfwGetWindowAttrib(window->getWindow(), GLFW_TRANSPARENT_FRAMEBUFFER));
    Pixels p(200, 100);
    EXPECT_EQ(p.raw()[3], 191); // the background's alpha 0.75 is kept for the compositor

    Qvis::Window opaque(200, 100, false, true);
    EXPECT_EQ(samples(), 4);
    EXPECT_FALSE(glfwGetWindowAttrib(opaque.getWindow(), GLFW_TRANSPARENT_FRAMEBUFFER));
    glfwDestroyWindow(opaque.getWindow());
}
