// On POSIX systems the programs run from a terminal: nothing to redirect.
#include "ProgramOutput.h"

#include <cstdio>

std::string logFilePath(const char* /*program*/)
{
    return {};
}

void useLogFile(const char* /*program*/)
{
}

void useCallersOutput(const char* /*program*/)
{
}

void reportStartFailure(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}
