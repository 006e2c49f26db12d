// The overlay-trackmap program: the dead-reckoned track map over live or
// recorded telemetry.
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
    return runOneOverlay("overlay-trackmap", OverlayKind::TrackMap, argc, argv);
}
