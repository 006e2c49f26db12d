// The overlay-trackmap program: the dead-reckoned track map over live or
// recorded telemetry.
#include <memory>

#include "MainLoop.h"
#include "OverlayBuilder.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay-trackmap", "",
                  "The track map: the path the car drove in the last two minutes, worked out from\n"
                  "its velocity and heading, in metres with north to the right.");
        return 0;
    }
    installStopRequestHandlers();
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay-trackmap");
        return 2;
    }
    return runOneOverlay("overlay-trackmap", OverlayKind::TrackMap, irData);
}
