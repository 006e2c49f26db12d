#include "MainLoop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shader.h"

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

bool shaderSourcesReadable(const char* program)
{
    const std::string problem = Qvis::unreadableShaderSource();
    if (problem.empty())
        return true;
    std::fprintf(stderr, "%s: cannot build the shader programs: %s\n", program, problem.c_str());
    return false;
}

void shutDown(IRData& irData)
{
    glfwTerminate();
    std::fputs("Shutting down.\n\n", stdout);
    std::fflush(stdout);
    irData.endSession();
    stopRequestHandled();
}
