// A measured run of the overlay's main loop against a bare window that only
// clears and swaps at the same pace, one process each, at a window scale
// (default 1):
//   overlay_process overlay PASSES RECORDING [SCALE]   the throttle/brake overlay replaying RECORDING
//   overlay_process bare PASSES [SCALE]                a 700 x 80 window with the same framebuffer
// Both first fill the overlay's 625-sample history (the bare window just
// waits as many passes), then time PASSES passes and print the process CPU
// time per pass and the peak resident memory. Under callgrind only the timed
// passes are collected.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include <sys/resource.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "MainLoop.h"
#include "ThrottleBrakeTraceController.h"
#include "window.h"

namespace {

const int kFillPasses = 700; // more than the 625 samples of a 10 s history

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A window like the overlay's that draws nothing but its background.
class BareWindow : public Qvis::Window {
public:
    explicit BareWindow(Qvis::WindowStyle style)
        : Qvis::Window(700, 80, true, false, std::move(style))
    {
        setBackgroundColor(0.25f, 0.25f, 0.25f, 0.75f);
    }
    void pass()
    {
        preLoopDraw(true);
        postLoopDraw();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
};

void report(const char* what, const Qvis::WindowStyle& style, int passes, double cpu)
{
    std::printf("%s at scale %g: %d passes, CPU time per pass %.3f ms, peak memory %.1f MiB\n", what,
                static_cast<double>(style.scale), passes, cpu / passes * 1000.0, peakKiB() / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    const bool overlay = argc >= 2 && std::strcmp(argv[1], "overlay") == 0;
    if (argc < 3 || (overlay && argc < 4)) {
        std::fprintf(stderr, "usage: overlay_process overlay PASSES RECORDING [SCALE] | bare PASSES [SCALE]\n");
        return 2;
    }
    const int passes = std::atoi(argv[2]);
    Qvis::WindowStyle style;
    const int scaleArg = overlay ? 4 : 3;
    if (argc > scaleArg)
        style.scale = static_cast<float>(std::atof(argv[scaleArg]));
    style = Qvis::usableStyle(style);
    if (std::strcmp(argv[1], "bare") == 0) {
        BareWindow window(style);
        for (int i = 0; i < kFillPasses; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const double start = cpuSeconds();
        CALLGRIND_START_INSTRUMENTATION;
        for (int i = 0; i < passes; ++i)
            window.pass();
        CALLGRIND_STOP_INSTRUMENTATION;
        report("bare window", style, passes, cpuSeconds() - start);
        glfwTerminate();
        return 0;
    }

    auto irData = std::make_shared<IRData>(argv[3]);
    ThrottleBrakeTraceController controller(irData, 10, style);
    for (int i = 0; i < kFillPasses; ++i) {
        irData->updateData();
        controller.updateData();
    }
    bool shown = true;
    const double start = cpuSeconds();
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < passes; ++i)
        runPass(*irData, controller, shown);
    CALLGRIND_STOP_INSTRUMENTATION;
    report("overlay", style, passes, cpuSeconds() - start);
    shutDown(*irData);
    return 0;
}
