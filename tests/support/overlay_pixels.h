// Colours and pixel geometry of the 800 x 600 overlay plots, for the tests
// that check what the views draw (read back with the support library's Pixels).
#pragma once

#include <cstdlib>
#include <vector>

#include "pixels.h"
#include "test_display.h"

// The views' background grey.
inline bool isBackground(Rgb p, int tol = 10)
{
    return std::abs(p.r - 64) <= tol && std::abs(p.g - 64) <= tol && std::abs(p.b - 64) <= tol;
}

inline bool isCyan(Rgb p)
{
    return p.r < 110 && p.g > 150 && p.b > 150;
}

inline bool isRed(Rgb p)
{
    return p.r > 150 && p.g < 90 && p.b < 90;
}

inline bool isWhite(Rgb p)
{
    return p.r > 180 && p.g > 180 && p.b > 180;
}

// The pixels that matched: how many, and their bounding box.
struct Extent {
    int count = 0;
    int left = 1 << 30, right = -1, bottom = 1 << 30, top = -1;
    void add(int x, int y)
    {
        ++count;
        left = x < left ? x : left;
        right = x > right ? x : right;
        bottom = y < bottom ? y : bottom;
        top = y > top ? y : top;
    }
    int width() const { return count ? right - left + 1 : 0; }
    int height() const { return count ? top - bottom + 1 : 0; }
};

// The pixels of [x0, x1) x [y0, y1) that match.
template <class Match>
Extent extentOf(const Pixels& px, int x0, int y0, int x1, int y1, Match match)
{
    Extent e;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (match(px.at(x, y)))
                e.add(x, y);
    return e;
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
