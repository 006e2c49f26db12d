// A measured run of the overlays' main loop against a bare window that only
// clears and swaps at the same pace, one process each, at a window scale
// (default 1):
//   overlay_process overlay PASSES RECORDING [SCALE]    the throttle/brake overlay replaying RECORDING
//   overlay_process overlays PASSES RECORDING [SCALE]   the strip, the track map and the variable
//                                                       plot in one loop, as telemetry-overlay runs them
//   overlay_process delta PASSES RECORDING [SCALE]      the delta overlay, from the third lap on
//   overlay_process bare PASSES [SCALE]                 a 700 x 80 window with the same framebuffer
//   overlay_process first-frame RECORDING START_NS      the time from START_NS (CLOCK_REALTIME, taken
//                                                       before exec) to the strip's first frame
// Each first fills the overlays' 625-sample histories (the bare window just
// waits as many passes; the delta takes three minutes of the recording, so
// that it has a reference lap and its tables have reached their size) and
// draws a few passes untimed, so that the shader
// programs and the driver's compiled state are built as at start-up, then
// times PASSES passes and prints the process CPU
// time per pass, the passes per second and the peak resident memory. Under
// callgrind only the timed passes are collected.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <glad/gl.h>
#include <sys/resource.h>
#include <time.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

#include "DeltaController.h"
#include "MainLoop.h"
#include "ThrottleBrakeTraceController.h"
#include "TrackMapController.h"
#include "VariablePlotController.h"
#include "window.h"

namespace {

const int kFillPasses = 700; // more than the 625 samples of a 10 s history
const int kDeltaFillPasses = 180 * 60;
const int kWarmPasses = 20;

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

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void report(const char* what, const Qvis::WindowStyle& style, int passes, double cpu, double wall)
{
    std::printf("%s at scale %g: %d passes, CPU time per pass %.3f ms, %.1f passes a second, peak memory %.1f MiB\n",
                what, static_cast<double>(style.scale), passes, cpu / passes * 1000.0, passes / wall,
                peakKiB() / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "first-frame") == 0) {
        auto irData = std::make_shared<IRData>(argv[2]);
        ControllerOverlay<ThrottleBrakeTraceController> strip(OverlayKind::Strip, irData, 10);
        irData->updateData();
        strip.updateData();
        strip.drawWindow();
        glFinish();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const double ms = (now.tv_sec * 1e9 + now.tv_nsec - std::atof(argv[3])) / 1e6;
        std::printf("first frame %.0f ms after exec\n", ms);
        shutDown(*irData);
        return 0;
    }
    const bool bare = argc >= 3 && std::strcmp(argv[1], "bare") == 0;
    const bool three = argc >= 4 && std::strcmp(argv[1], "overlays") == 0;
    const bool delta = argc >= 4 && std::strcmp(argv[1], "delta") == 0;
    if (!bare && !three && !delta && (argc < 4 || std::strcmp(argv[1], "overlay") != 0)) {
        std::fprintf(stderr,
                     "usage: overlay_process overlay|overlays|delta PASSES RECORDING [SCALE] | bare PASSES [SCALE]\n");
        return 2;
    }
    const int passes = std::atoi(argv[2]);
    Qvis::WindowStyle style;
    const int scaleArg = bare ? 3 : 4;
    if (argc > scaleArg)
        style.scale = static_cast<float>(std::atof(argv[scaleArg]));
    style = Qvis::usableStyle(style);
    if (bare) {
        BareWindow window(style);
        for (int i = 0; i < kFillPasses; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (int i = 0; i < kWarmPasses; ++i)
            window.pass();
        const double start = cpuSeconds(), wall = wallSeconds();
        CALLGRIND_START_INSTRUMENTATION;
        for (int i = 0; i < passes; ++i)
            window.pass();
        CALLGRIND_STOP_INSTRUMENTATION;
        report("bare window", style, passes, cpuSeconds() - start, wallSeconds() - wall);
        glfwTerminate();
        return 0;
    }

    auto irData = std::make_shared<IRData>(argv[3]);
    std::vector<std::unique_ptr<Overlay>> owned;
    if (delta)
        owned.push_back(std::make_unique<ControllerOverlay<DeltaController>>(OverlayKind::Delta, irData, style));
    else
        owned.push_back(
            std::make_unique<ControllerOverlay<ThrottleBrakeTraceController>>(OverlayKind::Strip, irData, 10, style));
    if (three) {
        owned.push_back(
            std::make_unique<ControllerOverlay<TrackMapController>>(OverlayKind::TrackMap, irData, 120, style));
        std::vector<VarSetup> variables;
        std::string error;
        parseVarSetups({}, &variables, &error);
        owned.push_back(std::make_unique<ControllerOverlay<VariablePlotController>>(OverlayKind::VarPlot, irData, 10,
                                                                                     variables, style));
    }
    std::vector<Overlay*> overlays;
    for (const auto& overlay : owned)
        overlays.push_back(overlay.get());
    for (int i = 0; i < (delta ? kDeltaFillPasses : kFillPasses); ++i) {
        irData->updateData();
        for (Overlay* overlay : overlays)
            overlay->updateData();
    }
    LoopState state(overlays.size());
    for (int i = 0; i < kWarmPasses; ++i)
        runPass(*irData, overlays, state);
    const double start = cpuSeconds(), wall = wallSeconds();
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < passes; ++i)
        runPass(*irData, overlays, state);
    CALLGRIND_STOP_INSTRUMENTATION;
    report(three ? "three overlays" : delta ? "delta" : "overlay", style, passes, cpuSeconds() - start,
           wallSeconds() - wall);
    shutDown(*irData);
    return 0;
}
