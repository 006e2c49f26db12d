#include "pixels.h"

#include <cstdlib>

#include <glad/gl.h>

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
    const Rgb p = at(x, y);
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
