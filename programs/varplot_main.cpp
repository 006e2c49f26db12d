// The overlay-varplot program: any telemetry variables against session time,
// over live or recorded telemetry. Arguments after the source name the
// variables as NAME[@TYPE]; without them the settings' list is plotted.
#include <cstdio>
#include <string>
#include <vector>

#include "MainLoop.h"
#include "OverlayBuilder.h"

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv)) {
        printHelp("overlay-varplot", "[NAME[@TYPE]...]",
                  "The variable plot: the last ten seconds of any telemetry variables against\n"
                  "session time, one line each.",
                  "  NAME   a telemetry variable, up to 15 (default: the settings' list, else\n"
                  "         Throttle, Brake and Gear@int)\n"
                  "  TYPE   how it is read and kept: int, float (the default) or double\n");
        return 0;
    }
    installStopRequestHandlers();
    std::vector<std::string> words(argv + (argc > 2 ? 2 : argc), argv + argc);
    std::vector<VarSetup> list;
    std::string error;
    if (!parseVarSetups(words, &list, &error)) {
        std::fprintf(stderr, "overlay-varplot: %s\n", error.c_str());
        return 2;
    }
    // Without names on the command line the settings' list is plotted.
    if (words.empty())
        list.clear();
    return runOneOverlay("overlay-varplot", OverlayKind::VarPlot, argc, argv, "[NAME[@TYPE]...]", list);
}
