#include "MainLoop.h"

#include <cstdio>
#include <cstring>

std::shared_ptr<IRData> makeSource(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "sim") == 0)
        return std::make_shared<IRData>();
    if (std::strcmp(argv[1], "file") == 0)
        return std::make_shared<IRData>("telemetry.ibt");
    return nullptr;
}

void printUsage(const char* program, const char* extra)
{
    std::fprintf(stderr, "usage: %s [sim|file]%s%s (sim: live telemetry, the default; file: replay telemetry.ibt)\n",
                 program, *extra ? " " : "", extra);
}

void shutDown(IRData& irData)
{
    glfwTerminate();
    std::fputs("Shutting down.\n\n", stdout);
    std::fflush(stdout);
    irData.endSession();
}
