// The overlay program: the throttle/brake strip over live or recorded telemetry.
#include <cstdio>
#include <memory>
#include <string>

#include "MainLoop.h"
#include "ReferenceLapKeeper.h"
#include "Settings.h"
#include "ThrottleBrakeTraceController.h"
#include "WindowPlacement.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay", "",
                  "The throttle/brake strip: your throttle and brake over the last ten seconds as\n"
                  "green and red areas, and as lines those of your fastest lap at the same point\n"
                  "of the lap.",
                  "\n"
                  "Live, the best lap per track and car is kept for the next run (see\n"
                  "'ibt reference --help'); \"reference-laps = off\" in the settings turns it off.\n");
        return 0;
    }
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay");
        return 2;
    }
    installStopRequestHandlers();
    if (!shaderSourcesReadable("overlay"))
        return 1;
    ProgramSettings settings("overlay");
    restoreWindowPosition(settings);
    ThrottleBrakeTraceController controller(irData, 10);
    // Live runs keep the best lap per track and car; a replay never touches them.
    if (irData->isLive() && referenceLapsEnabled(settings)) {
        std::string error;
        const std::string folder = LapStore::defaultFolder(&error);
        if (folder.empty())
            std::fprintf(stderr, "overlay: %s; reference laps are not kept\n", error.c_str());
        else
            controller.keepReferenceLaps(std::make_shared<ReferenceLapKeeper>("overlay", folder));
    }
    runMainLoop(*irData, controller);
    saveWindowPosition(settings, controller);
    shutDown(*irData);
    return 0;
}
