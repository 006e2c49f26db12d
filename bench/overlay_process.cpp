// A measured run of the overlay's main loop against a bare window that only
// clears and swaps at the same pace, one process each:
//   overlay_process overlay PASSES RECORDING   the throttle/brake overlay replaying RECORDING
//   overlay_process bare PASSES                a 700 x 80 window with the same framebuffer
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
    BareWindow()
        : Qvis::Window(700, 80, true, false)
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

void report(const char* what, int passes, double cpu)
{
    std::printf("%s: %d passes, CPU time per pass %.3f ms, peak memory %.1f MiB\n", what, passes,
                cpu / passes * 1000.0, peakKiB() / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "overlay") == 0 && argc < 4)) {
        std::fprintf(stderr, "usage: overlay_process overlay PASSES RECORDING | bare PASSES\n");
        return 2;
    }
    const int passes = std::atoi(argv[2]);
    if (std::strcmp(argv[1], "bare") == 0) {
        BareWindow window;
        for (int i = 0; i < kFillPasses; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const double start = cpuSeconds();
        CALLGRIND_START_INSTRUMENTATION;
        for (int i = 0; i < passes; ++i)
            window.pass();
        CALLGRIND_STOP_INSTRUMENTATION;
        report("bare window", passes, cpuSeconds() - start);
        glfwTerminate();
        return 0;
    }

    auto irData = std::make_shared<IRData>(argv[3]);
    ControllerOverlay<ThrottleBrakeTraceController> strip(OverlayKind::Strip, irData, 10);
    for (int i = 0; i < kFillPasses; ++i) {
        irData->updateData();
        strip.updateData();
    }
    const std::vector<Overlay*> overlays{&strip};
    LoopState state(overlays.size());
    const double start = cpuSeconds();
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < passes; ++i)
        runPass(*irData, overlays, state);
    CALLGRIND_STOP_INSTRUMENTATION;
    report("overlay", passes, cpuSeconds() - start);
    shutDown(*irData);
    return 0;
}
