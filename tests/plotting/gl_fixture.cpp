#include "gl_fixture.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "test_display.h"

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
