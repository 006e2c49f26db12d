// Cost of one main-loop pass of the throttle/brake overlay without drawing:
// the file source's read plus the controller's updateData, with a reference
// lap in place, over a synthesized demo session.
#include <cstdio>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "ThrottleBrakeTraceController.h"
#include "demo_synth.h"

namespace {

const int kLaps = 20;
const int kPasses = 30000; // passes timed, all with a reference lap in place

void BM_SourceAndControllerPass(benchmark::State& state)
{
    const std::string path = "/tmp/overlay-pass-bench-" + std::to_string(::getpid()) + ".ibt";
    if (!writeDemoSession(path, kLaps, 7)) {
        state.SkipWithError("cannot write the demo session");
        return;
    }
    auto source = std::make_shared<IRData>(path.c_str());
    ThrottleBrakeTraceController controller(source, 10);
    // Drive to the third timed lap: by then a best lap is the reference.
    while (source->getVarInt("Lap", 0) < 3) {
        source->updateData();
        controller.updateData();
    }
    for (auto _ : state) {
        source->updateData();
        controller.updateData();
    }
    std::remove(path.c_str());
}

} // namespace

BENCHMARK(BM_SourceAndControllerPass)->Iterations(kPasses)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
