// Read-back of an overlay window's back buffer and the pixel geometry of the
// 800 x 600 overlay plots, for the tests that check what the views draw.
#pragma once

#include <cstdlib>
#include <vector>

#include <glad/gl.h>
#include <gtest/gtest.h>

#include "test_display.h"

struct Rgb {
    int r, g, b;
};

// RGB pixels of the back buffer, row 0 at the bottom as GL stores them.
class Pixels {
public:
    Pixels(int width, int height) : w(width), h(height), data(static_cast<size_t>(width) * height * 3)
    {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, data.data());
    }

    Rgb at(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
            return {-1, -1, -1};
        const unsigned char* p = &data[(static_cast<size_t>(y) * w + x) * 3];
        return {p[0], p[1], p[2]};
    }

    int width() const { return w; }
    int height() const { return h; }

private:
    int w, h;
    std::vector<unsigned char> data;
};

// The views' background grey.
inline bool isBackground(Rgb p, int tol = 10)
{
    return std::abs(p.r - 64) <= tol && std::abs(p.g - 64) <= tol && std::abs(p.b - 64) <= tol;
}

inline bool isCyan(Rgb p)
{
    return p.r < 110 && p.g > 150 && p.b > 150;
}

inline bool isWhite(Rgb p)
{
    return p.r > 180 && p.g > 180 && p.b > 180;
}

// The axes rectangle of the track map and variable plot views in window
// pixels: the plot covers (0.15, 0.1, 0.8, 0.85) of the window and the axes
// fill it, inset on the left and at the bottom by the 0.03 tick size.
struct AxesRect {
    double left, bottom, right, top;
    double width() const { return right - left; }
    double height() const { return top - bottom; }
};

inline AxesRect overlayAxesRect(int width, int height)
{
    const double x = 0.15, y = 0.1, w = 0.8, h = 0.85, tick = 0.03;
    return {width * (x + w * tick), height * (y + h * tick), width * (x + w), height * (y + h)};
}

// Skips a test that needs a window when no X display is there.
#define SKIP_WITHOUT_DISPLAY() REQUIRE_TEST_DISPLAY()
