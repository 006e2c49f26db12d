#include "offscreen_target.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <glad/gl.h>

#include "offscreen_context.h"

// The PNG encoder: Debian's stb image writer, header only, its functions
// private to this file and writing to memory, not to files.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace Qvis {

namespace {

void appendBytes(void* out, void* data, int size)
{
    static_cast<std::string*>(out)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

} // namespace

// The context, then a framebuffer of one colour buffer: no multisampling and
// no depth buffer, as the windows have none.
OffscreenTarget::OffscreenTarget(int w, int h, float s)
    : width(w), height(h), scale(std::isfinite(s) ? std::clamp(s, 0.25f, 8.0f) : 1.0f)
{
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
        problem = "a picture must be 1 to " + std::to_string(kMaxSide) + " pixels wide and high";
        return;
    }
    context = offscreen::makeContext(&problem);
    if (!context)
        return;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (w > largest || h > largest) {
        problem = "the GL driver draws pictures of at most " + std::to_string(largest) + " pixels a side";
        return;
    }
    glGenRenderbuffers(1, &colourBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    GLuint fbo = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        problem = "the GL driver cannot draw into a framebuffer of " + std::to_string(w) + " x " + std::to_string(h);
        glDeleteFramebuffers(1, &fbo);
        return;
    }
    framebuffer = fbo;
}

OffscreenTarget::~OffscreenTarget()
{
    if (context) {
        offscreen::makeCurrent(context);
        if (framebuffer)
            glDeleteFramebuffers(1, &framebuffer);
        if (colourBuffer)
            glDeleteRenderbuffers(1, &colourBuffer);
    }
    offscreen::destroyContext(context);
}

GLFWwindow* OffscreenTarget::getWindow()
{
    return context ? offscreen::windowOf(context) : nullptr;
}

void OffscreenTarget::begin(float r, float g, float b)
{
    offscreen::makeCurrent(context);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
    glLineWidth(1.0f);
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

std::vector<unsigned char> OffscreenTarget::pixels()
{
    const size_t row = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> bottomUp(row * static_cast<size_t>(height));
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    // GL keeps the bottom row first; pictures begin with the top one.
    std::vector<unsigned char> topDown(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(&topDown[static_cast<size_t>(y) * row], &bottomUp[static_cast<size_t>(height - 1 - y) * row], row);
    return topDown;
}

std::string OffscreenTarget::png()
{
    const std::vector<unsigned char> rgb = pixels();
    std::string out;
    if (!stbi_write_png_to_func(appendBytes, &out, width, height, 3, rgb.data(), width * 3))
        out.clear();
    return out;
}

} // namespace Qvis
