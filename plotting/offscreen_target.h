// An off-screen drawing target: a picture of a given size that plots draw into
// as they draw into a window (it is an IWindow too), in a GL context of its
// own that needs no display, read back as pixels or as the bytes of a PNG
// file. The peer of Window for pictures that are saved instead of shown.
#pragma once

#include <string>
#include <vector>

#include "IWindow.h"

namespace Qvis {

namespace offscreen {
struct Context;
}

class OffscreenTarget : public IWindow {
public:
    // The largest side a picture may have.
    static constexpr int kMaxSide = 8192;

    // A picture of width x height pixels (1 to kMaxSide each); scale is how
    // much larger than designed lines and text are drawn. ok() tells whether
    // the context and the framebuffer could be made, error() why not.
    OffscreenTarget(int width, int height, float scale = 1.0f);
    ~OffscreenTarget() override;
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    bool ok() const { return framebuffer != 0; }
    const std::string& error() const { return problem; }

    int getWidth() override { return width; }
    int getHeight() override { return height; }
    // The hidden window behind the context on Windows; null elsewhere.
    GLFWwindow* getWindow() override;
    float getScale() override { return scale; }

    // Begins a picture: the context current, the framebuffer bound and
    // cleared to an opaque colour, the GL state drawing relies on set.
    void begin(float r, float g, float b);

    // The picture's pixels once drawn: red, green, blue, the top row first.
    std::vector<unsigned char> pixels();
    // The same as the bytes of a PNG file (8 bits a channel, no alpha).
    std::string png();

private:
    offscreen::Context* context = nullptr;
    unsigned int framebuffer = 0;
    unsigned int colourBuffer = 0;
    int width;
    int height;
    float scale;
    std::string problem;
};

} // namespace Qvis
