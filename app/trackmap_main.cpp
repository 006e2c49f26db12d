// The overlay-trackmap program: the dead-reckoned track map over live or
// recorded telemetry.
#include <memory>

#include "MainLoop.h"
#include "Settings.h"
#include "TrackMapController.h"
#include "WindowPlacement.h"

namespace {

// Long enough for a whole lap of most circuits.
const unsigned int kMapSeconds = 120;

} // namespace

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay-trackmap", "",
                  "The track map: the path the car drove in the last two minutes, worked out from\n"
                  "its velocity and heading, in metres with north to the right.");
        return 0;
    }
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay-trackmap");
        return 2;
    }
    installStopRequestHandlers();
    if (!shaderSourcesReadable("overlay-trackmap"))
        return 1;
    ProgramSettings settings("overlay-trackmap");
    restoreWindowPosition(settings);
    TrackMapController controller(irData, kMapSeconds);
    runMainLoop(*irData, controller);
    saveWindowPosition(settings, controller);
    shutDown(*irData);
    return 0;
}
