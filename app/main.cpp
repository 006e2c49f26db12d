// The overlay program: the throttle/brake strip over live or recorded telemetry.
#include <memory>

#include "MainLoop.h"
#include "ThrottleBrakeTraceController.h"

int main(int argc, char** argv)
{
    std::shared_ptr<IRData> irData = makeSource(argc, argv);
    if (!irData) {
        printUsage("overlay");
        return 2;
    }
    if (!shaderSourcesReadable("overlay"))
        return 1;
    ThrottleBrakeTraceController controller(irData, 10);
    runMainLoop(*irData, controller);
    shutDown(*irData);
    return 0;
}
