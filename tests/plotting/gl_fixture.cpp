#include "gl_fixture.h"

#include <cstdlib>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "test_display.h"

Pixels::Pixels(int width, int height) : w(width), h(height), data(static_cast<size_t>(width) * height * 4)
{
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, data.data());
}

Rgb Pixels::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return {-1, -1, -1};
    const unsigned char* p = &data[(static_cast<size_t>(y) * w + x) * 4];
    return {p[0], p[1], p[2]};
}

bool Pixels::is(int x, int y, Rgb e, int tol) const
{
    Rgb p = at(x, y);
    return std::abs(p.r - e.r) <= tol && std::abs(p.g - e.g) <= tol && std::abs(p.b - e.b) <= tol;
}

int Pixels::countNot(int x0, int y0, int x1, int y1, Rgb background, int tol) const
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (!is(x, y, background, tol))
                ++n;
    return n;
}

int byteOf(float v)
{
    return static_cast<int>(v * 255.0f + 0.5f);
}

void GlTest::SetUp()
{
    REQUIRE_TEST_DISPLAY();
}

void GlTest::openWindow(int width, int height)
{
    window = std::make_shared<TestWindow>(width, height, true, true);
    window->setBackgroundColor(bg[0], bg[1], bg[2], bg[3]);
    window->preLoopDraw(true);
}

// Closes the window; GLFW stays initialised for the next test of the process.
void GlTest::TearDown()
{
    if (window)
        glfwDestroyWindow(window->getWindow());
}

int run(const std::string& command)
{
    int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
