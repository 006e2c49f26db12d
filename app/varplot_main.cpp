// The overlay-varplot program: any telemetry variables against session time,
// over live or recorded telemetry. Arguments after the source name the
// variables as NAME[@TYPE].
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MainLoop.h"
#include "VariablePlotController.h"

int main(int argc, char** argv)
{
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
    if (!shaderSourcesReadable("overlay-varplot"))
        return 1;
    VariablePlotController controller(irData, 10, list);
    runMainLoop(*irData, controller);
    shutDown(*irData);
    return 0;
}
