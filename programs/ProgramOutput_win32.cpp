// A Windows program without a console: output to a log file, start failures
// in a message box too.
#include "ProgramOutput.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shlobj.h>

#include "UserFiles.h"

namespace {

std::wstring wide(const std::string& s)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

} // namespace

const char* const kLogFileWhen = "";

std::string logFilePath(const char* program)
{
    std::string error;
    const std::string folder = userfiles::dataFolder(&error);
    return folder.empty() ? folder : folder + "\\" + program + ".log";
}

void useLogFile(const char* program)
{
    const std::string path = logFilePath(program);
    if (path.empty())
        return;
    ::SHCreateDirectoryExW(nullptr, wide(path.substr(0, path.rfind('\\'))).c_str(), nullptr);
    if (!::_wfreopen(wide(path).c_str(), L"w", stdout))
        return;
    // One file for both, in the order written.
    ::_dup2(::_fileno(stdout), ::_fileno(stderr));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void useCallersOutput(const char* program)
{
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE)
        return;
    if (::AttachConsole(ATTACH_PARENT_PROCESS) && std::freopen("CONOUT$", "w", stdout) &&
        std::freopen("CONOUT$", "w", stderr))
        return;
    useLogFile(program);
}

void reportStartFailure(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    if (std::getenv("TELEMETRY_OVERLAY_NO_MESSAGE_BOX"))
        return;
    ::MessageBoxW(nullptr, wide(message).c_str(), wide(program).c_str(), MB_OK | MB_ICONERROR);
}
