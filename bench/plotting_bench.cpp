// Cost of one frame of a strip plot like the throttle/brake view: 700 x 80,
// two translucent areas and two lines over 625-sample rings that have wrapped.
// Run from the source root (the programs are read from Shaders/).
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "FramelessDraggableWindow.h"
#include "Line2D2CircularVecs.h"
#include "ShadedLine2D2CircularVecs.h"
#include "plot.h"

namespace {

struct Strip {
    static constexpr unsigned n = 625;
    static constexpr unsigned start = 311;

    std::shared_ptr<Qvis::FramelessDraggableWindow> window;
    std::shared_ptr<Qvis::Plot> plot;
    std::vector<float> t, throttle, brake, refThrottle, refBrake;
    std::shared_ptr<Qvis::ShadedLine2D2CircularVecs> throttleArea, brakeArea;
    std::shared_ptr<Qvis::Line2D2CircularVecs<float, float>> refThrottleLine, refBrakeLine;

    Strip() : t(n), throttle(n), brake(n), refThrottle(n), refBrake(n)
    {
        window = std::make_shared<Qvis::FramelessDraggableWindow>(700, 80, true, true);
        window->setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
        plot = std::make_shared<Qvis::Plot>(0.0f, 0.0f, 1.0f, 1.0f, window);
        plot->setPlotOutlineOn(false);
        auto axes = plot->getAxes();
        axes->setXYAxesOn(false);
        axes->setAutoScale(false);
        axes->setPositionSize(0, 0, 1, 1);
        axes->setAxesLabelsOn(false);
        axes->setMajorTickSize(0);
        axes->setMinorTickSize(0);
        axes->updateYAxesLimits(0, 1, true);
        axes->setAxesAreaOutlineOn(false);
        for (unsigned k = 0; k < n; ++k) {
            unsigned slot = (start + k) % n;
            float s = 0.016f * static_cast<float>(k);
            t[slot] = s;
            throttle[slot] = 0.5f + 0.5f * std::sin(0.9f * s);
            brake[slot] = std::fmax(0.0f, -std::sin(0.9f * s));
            refThrottle[slot] = throttle[slot] > 0.99f ? 1.0f : 0.0f;
            refBrake[slot] = brake[slot] > 0.01f ? 1.0f : 0.0f;
        }
        throttleArea = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&t, &throttle);
        brakeArea = std::make_shared<Qvis::ShadedLine2D2CircularVecs>(&t, &brake);
        refThrottleLine = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(&t, &refThrottle);
        refBrakeLine = std::make_shared<Qvis::Line2D2CircularVecs<float, float>>(&t, &refBrake);
        refThrottleLine->setLineWidth(2);
        refBrakeLine->setLineWidth(2);
        plot->addShadedLine(throttleArea);
        plot->addShadedLine(brakeArea);
        plot->addLine(refThrottleLine);
        plot->addLine(refBrakeLine);
    }

    // The data half of a frame: rebuild every series and slide the time axis.
    void update()
    {
        throttleArea->updateInternalData(start);
        brakeArea->updateInternalData(start);
        refThrottleLine->updateInternalData(start);
        refBrakeLine->updateInternalData(start);
        float newest = throttleArea->newestX();
        plot->getAxes()->updateXAxesLimits(newest - 10.0f, newest, true);
    }
};

Strip* strip(benchmark::State& state)
{
    static std::unique_ptr<Strip> s;
    if (!s) {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {
            state.SkipWithError("no X display; run under scripts/with-x");
            return nullptr;
        }
        s = std::make_unique<Strip>();
    }
    return s.get();
}

// The library's CPU work alone: ring unrolling and the newest time.
void BM_SeriesUpdate(benchmark::State& state)
{
    Strip* s = strip(state);
    if (!s)
        return;
    for (auto _ : state) {
        s->update();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SeriesUpdate);

// updateInternalData plus Plot::Draw: the CPU side of a frame, GL calls
// submitted (uploads copied) but not waited for.
void BM_FrameCpu(benchmark::State& state)
{
    Strip* s = strip(state);
    if (!s)
        return;
    for (auto _ : state) {
        s->update();
        s->plot->Draw();
    }
    glFinish();
}
BENCHMARK(BM_FrameCpu);

// The whole frame as a view draws it: events, clear, update, draw, the GL
// driver finishing the rendering, and the buffer swap.
void BM_FrameWhole(benchmark::State& state)
{
    Strip* s = strip(state);
    if (!s)
        return;
    for (auto _ : state) {
        s->window->preLoopDraw(true);
        s->update();
        s->plot->Draw();
        glFinish();
        s->window->postLoopDraw();
    }
}
BENCHMARK(BM_FrameWhole);

} // namespace

BENCHMARK_MAIN();
