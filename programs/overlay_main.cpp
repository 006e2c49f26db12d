// The overlay program: the throttle/brake strip over live or recorded telemetry.
#include "MainLoop.h"
#include "OverlayBuilder.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay", "",
                  "The throttle/brake strip: your throttle and brake over the last ten seconds as\n"
                  "green and red areas, and as lines those of your fastest lap at the same point\n"
                  "of the lap.",
                  "\n"
                  "Live, the best lap per track and car is kept for the next run (see\n"
                  "'ibt reference --help'); \"reference-laps = false\" in the settings turns it off.\n");
        return 0;
    }
    installStopRequestHandlers();
    return runOneOverlay("overlay", OverlayKind::Strip, argc, argv);
}
