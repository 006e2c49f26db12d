// Draws a sample plot with the plotting library: a shaded series, two lines,
// labelled axes. Runs until Escape, or with --out FILE draws a few frames and
// writes the window's pixels to FILE as a binary PPM.
// Run from the source root (the programs are read from Shaders/).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "FramelessDraggableWindow.h"
#include "Line2D2CircularVecs.h"
#include "ShadedLine2D2CircularVecs.h"
#include "plot.h"

namespace {

class DemoWindow : public Qvis::FramelessDraggableWindow {
public:
    DemoWindow() : FramelessDraggableWindow(640, 360, true, true) {}
};

// Writes the back buffer, top row first, as a binary PPM.
bool writePpm(const char* path, int w, int h)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", w, h);
    for (int row = h - 1; row >= 0; --row)
        std::fwrite(pixels.data() + static_cast<size_t>(row) * w * 3, 1, static_cast<size_t>(w) * 3, f);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else {
            std::fprintf(stderr, "usage: qvis_demo [--out FILE.ppm]\n");
            return 2;
        }
    }

    auto window = std::make_shared<DemoWindow>();
    window->setBackgroundColor(0.12f, 0.13f, 0.16f, 0.85f);
    auto plot = std::make_shared<Qvis::Plot>(0.0f, 0.0f, 1.0f, 1.0f, window);
    plot->setPlotOutlineOn(false);
    auto axes = plot->getAxes();
    axes->setFontScaling(0.36f);

    // Ten seconds of samples in rings that have already wrapped once.
    const unsigned n = 625;
    std::vector<float> t(n), speed(n), load(n), limit(n);
    unsigned start = 200;
    for (unsigned k = 0; k < n; ++k) {
        unsigned slot = (start + k) % n;
        float s = 10.0f * static_cast<float>(k) / (n - 1);
        t[slot] = s;
        speed[slot] = 0.55f + 0.35f * std::sin(1.3f * s) * std::exp(-0.05f * s);
        load[slot] = 0.3f * std::cos(2.1f * s) + 0.15f * std::sin(5.0f * s);
        limit[slot] = s < 6.0f ? 0.9f : 0.6f;
    }
    auto area = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&t, &speed);
    area->setShadeColour({0.0f, 0.9f, 0.0f});
    area->setOpacityRatio(0.5f);
    auto signedLoad = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&t, &load);
    signedLoad->setShadeColour({0.9f, 0.0f, 0.0f});
    signedLoad->setOpacityRatio(0.5f);
    auto line = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(&t, &limit);
    line->setLineColour({1.0f, 0.85f, 0.2f});
    line->setLineWidth(2);
    auto trace = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(&t, &load);
    trace->setLineColour({0.4f, 0.7f, 1.0f});
    plot->addShadedLine(area);
    plot->addShadedLine(signedLoad);
    plot->addLine(line);
    plot->addLine(trace);

    int frames = 0;
    while (!glfwWindowShouldClose(window->getWindow())) {
        window->preLoopDraw(true);
        area->updateInternalData(start);
        signedLoad->updateInternalData(start);
        line->updateInternalData(start);
        trace->updateInternalData(start);
        plot->Draw();
        if (out && ++frames == 3) {
            bool ok = writePpm(out, window->getWidth(), window->getHeight());
            glfwTerminate();
            if (!ok)
                std::fprintf(stderr, "qvis_demo: cannot write %s\n", out);
            return ok ? 0 : 1;
        }
        window->postLoopDraw();
        glfwWaitEventsTimeout(0.016);
    }
    glfwTerminate();
    return 0;
}
