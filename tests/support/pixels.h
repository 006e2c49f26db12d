// Read-back of the current GL context's back buffer, for tests that check
// what was drawn.
#pragma once

#include <vector>

struct Rgb {
    int r, g, b;
};

// RGBA pixels of the back buffer, row 0 at the bottom, as GL stores them.
class Pixels {
public:
    Pixels(int width, int height);
    // {-1, -1, -1} outside the picture.
    Rgb at(int x, int y) const;
    // True when every channel is within tol of the expected value.
    bool is(int x, int y, Rgb expected, int tol = 2) const;
    // Number of pixels in [x0, x1) x [y0, y1) that differ from `background`.
    int countNot(int x0, int y0, int x1, int y1, Rgb background, int tol = 8) const;
    int width() const { return w; }
    int height() const { return h; }
    const std::vector<unsigned char>& raw() const { return data; }

private:
    int w, h;
    std::vector<unsigned char> data;
};
