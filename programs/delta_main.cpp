// The overlay-delta program: the time against the reference lap over live or
// recorded telemetry.
#include "MainLoop.h"
#include "OverlayBuilder.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay-delta", "",
                  "The delta: how many seconds this lap is ahead of the reference lap (green,\n"
                  "negative) or behind it (red, positive) at this point of the lap, a bar from\n"
                  "the centre that is full at two seconds, and the lap time that predicts. The\n"
                  "reference is the one the throttle/brake strip shows: the lap kept for the\n"
                  "track and car, else the fastest lap of this run. Times are counted from the\n"
                  "moment the car crosses the start line.",
                  "\n"
                  "Live, the best lap per track and car is kept for the next run (see\n"
                  "'ibt reference --help'); \"reference-laps = false\" in the settings turns it off.\n"
                  "A lap kept by an older version has no timing: until a faster lap replaces it\n"
                  "(or 'ibt reference import' of a recording does), the window says \"No\n"
                  "reference lap yet\".\n");
        return 0;
    }
    installStopRequestHandlers();
    return runOneOverlay("overlay-delta", OverlayKind::Delta, argc, argv);
}
