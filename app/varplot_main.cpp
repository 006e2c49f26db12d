// The overlay-varplot program: any telemetry variables against session time,
// over live or recorded telemetry. Arguments after the source name the
// variables as NAME[@TYPE].
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MainLoop.h"
#include "Settings.h"
#include "VariablePlotController.h"
#include "WindowPlacement.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay-varplot", "[NAME[@TYPE]...]",
                  "The variable plot: the last ten seconds of any telemetry variables against\n"
                  "session time, one line each.",
                  "  NAME   a telemetry variable (default: Throttle, Brake and Gear@int), up to 15\n"
                  "  TYPE   how it is read and kept: int, float (the default) or double\n");
        return 0;
    }
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay-varplot", "[NAME[@TYPE]...]");
        return 2;
    }
    std::vector<std::string> words(argv + (argc > 2 ? 2 : argc), argv + argc);
    std::vector<VarSetup> list;
    std::string error;
    if (!parseVarSetups(words, &list, &error)) {
        std::fprintf(stderr, "overlay-varplot: %s\n", error.c_str());
        return 2;
    }
    installStopRequestHandlers();
    if (!shaderSourcesReadable("overlay-varplot"))
        return 1;
    ProgramSettings settings("overlay-varplot");
    restoreWindowPosition(settings);
    VariablePlotController controller(irData, 10, list);
    runMainLoop(*irData, controller);
    saveWindowPosition(settings, controller);
    shutDown(*irData);
    return 0;
}
