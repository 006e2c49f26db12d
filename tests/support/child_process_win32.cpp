// Child processes with CreateProcess, shell commands through the command
// interpreter. Windows has no signals: stopping a child terminates it.
#include "child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <windows.h>

#include "files.h"

namespace {

// One argument quoted so that the child's C runtime splits it back unchanged:
// backslashes double only before a quote or the closing quote.
std::string quoteArgument(const std::string& arg)
{
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string q = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            q.append(backslashes * 2 + 1, '\\');
        else
            q.append(backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    return q + "\"";
}

// A file the child writes as its standard output or error; inheritable.
HANDLE openOutput(const std::string& path)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Text a Windows program wrote, with its CRLF line ends as the '\n' that
// tests compare with.
std::string textOf(std::string s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))
            out += s[i];
    return out;
}

} // namespace

std::string shellOutput(const std::string& command, int* status)
{
    std::string out;
    FILE* p = _popen(command.c_str(), "rb");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int st = _pclose(p);
    if (status)
        *status = st;
    return textOf(out);
}

// The environment block is this process's plus the entries given; 127 as the
// status when the program cannot be started, as a shell would say, and the
// system's error code on its standard error.
void ChildProcess::start(const std::string& folder, const std::vector<std::string>& args,
                         const std::vector<std::string>& env)
{
    if (args.empty())
        return;
    std::string commandLine;
    for (const std::string& a : args)
        commandLine += (commandLine.empty() ? "" : " ") + quoteArgument(a);

    std::string block;
    if (!env.empty()) {
        char* inherited = GetEnvironmentStringsA();
        for (const char* e = inherited; e && *e; e += std::strlen(e) + 1)
            block.append(e, std::strlen(e) + 1);
        FreeEnvironmentStringsA(inherited);
        for (const std::string& e : env)
            block.append(e.c_str(), e.size() + 1);
        block += '\0';
    }

    HANDLE out = openOutput(outPath);
    HANDLE err = openOutput(errPath);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const BOOL ok = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                    CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                   block.empty() ? nullptr : &block[0], folder.empty() ? nullptr : folder.c_str(),
                                   &si, &pi);
    const DWORD why = ok ? 0 : GetLastError();
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE)
        CloseHandle(err);
    if (!ok) {
        // Why, where the test shows the child's standard error.
        HANDLE reason = openOutput(errPath);
        if (reason != INVALID_HANDLE_VALUE) {
            const std::string text = "cannot start " + args[0] + ": Windows error " + std::to_string(why) + "\n";
            DWORD written = 0;
            WriteFile(reason, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(reason);
        }
        exited = true;
        status = 127;
        return;
    }
    CloseHandle(pi.hThread);
    handle = pi.hProcess;
    pid = static_cast<long>(pi.dwProcessId);
}

ChildProcess::~ChildProcess()
{
    if (running())
        stop(9);
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
}

bool ChildProcess::running()
{
    if (exited || !handle)
        return false;
    if (WaitForSingleObject(static_cast<HANDLE>(handle), 0) != WAIT_OBJECT_0)
        return true;
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(handle), &code);
    exited = true;
    status = static_cast<int>(code);
    return false;
}

int ChildProcess::wait()
{
    if (running())
        WaitForSingleObject(static_cast<HANDLE>(handle), INFINITE);
    running();
    return status;
}

// Any signal ends the child at once, with 128 + the signal as its status.
void ChildProcess::signal(int sig)
{
    if (running())
        TerminateProcess(static_cast<HANDLE>(handle), 128 + sig);
}

void ChildProcess::stop(int sig)
{
    signal(sig);
    waitExit(10);
}

std::string ChildProcess::out() const
{
    return textOf(readFile(outPath));
}

std::string ChildProcess::err() const
{
    return textOf(readFile(errPath));
}
