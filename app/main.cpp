// The overlay program: the throttle/brake strip over live or recorded telemetry.
#include <memory>

#include "MainLoop.h"
#include "Settings.h"
#include "ThrottleBrakeTraceController.h"
#include "WindowPlacement.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay", "",
                  "The throttle/brake strip: your throttle and brake over the last ten seconds as\n"
                  "green and red areas, and as lines those of your fastest lap at the same point\n"
                  "of the lap.");
        return 0;
    }
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay");
        return 2;
    }
    ProgramSettings settings("overlay");
    restoreWindowPosition(settings);
    ThrottleBrakeTraceController controller(irData, 10);
    runMainLoop(*irData, controller);
    saveWindowPosition(settings, controller);
    shutDown(*irData);
    return 0;
}
