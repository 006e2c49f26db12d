// On POSIX systems the programs write to the terminal they were started
// from. telemetry-overlay started from a desktop launcher has none: its
// standard output and error then go to a log file in the user's state folder.
#include "ProgramOutput.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "UserFiles.h"

const char* const kLogFileWhen = " when it is not started from a terminal";

std::string logFilePath(const char* program)
{
    std::string error;
    const std::string folder = userfiles::stateFolder(&error);
    return folder.empty() ? folder : folder + "/" + program + ".log";
}

void useLogFile(const char* program)
{
    if (::isatty(STDERR_FILENO))
        return;
    const char* keep = std::getenv("TELEMETRY_OVERLAY_NO_LOG_FILE");
    if (keep && *keep)
        return;
    const std::string path = logFilePath(program);
    std::string error;
    if (path.empty() || !userfiles::createFolders(path.substr(0, path.rfind('/')), &error))
        return;
    // Flushed first, so that nothing written before lands in the log.
    std::fflush(stdout);
    std::fflush(stderr);
    if (!std::freopen(path.c_str(), "w", stdout))
        return;
    // One file for both, in the order written.
    ::dup2(::fileno(stdout), STDERR_FILENO);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void useCallersOutput(const char* /*program*/)
{
}

void reportStartFailure(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}
