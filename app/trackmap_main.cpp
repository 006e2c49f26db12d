// The overlay-trackmap program: the dead-reckoned track map over live or
// recorded telemetry.
#include <memory>

#include "MainLoop.h"
#include "TrackMapController.h"

namespace {

// Long enough for a whole lap of most circuits.
const unsigned int kMapSeconds = 120;

} // namespace

int main(int argc, char** argv)
{
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay-trackmap");
        return 2;
    }
    if (!shaderSourcesReadable("overlay-trackmap"))
        return 1;
    TrackMapController controller(irData, kMapSeconds);
    runMainLoop(*irData, controller);
    shutDown(*irData);
    return 0;
}
