// Child processes with fork and exec, shell commands with popen.
#include "child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "files.h"

std::string shellOutput(const std::string& command, int* status)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int st = ::pclose(p);
    if (status)
        *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

// The child only calls async-signal-safe functions between fork and exec,
// apart from putenv on its own copy of the environment; 127 when it cannot
// start the program.
void ChildProcess::start(const std::string& folder, const std::vector<std::string>& args,
                         const std::vector<std::string>& env)
{
    if (args.empty())
        return;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            ::_exit(127);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            ::_exit(127);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    pid = child;
}

ChildProcess::~ChildProcess()
{
    if (running())
        stop(SIGKILL);
}

bool ChildProcess::running()
{
    if (exited || pid <= 0)
        return false;
    int st = 0;
    if (::waitpid(static_cast<pid_t>(pid), &st, WNOHANG) == static_cast<pid_t>(pid)) {
        exited = true;
        status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return false;
    }
    return true;
}

int ChildProcess::wait()
{
    if (running()) {
        int st = 0;
        if (::waitpid(static_cast<pid_t>(pid), &st, 0) == static_cast<pid_t>(pid)) {
            exited = true;
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
    }
    return status;
}

void ChildProcess::signal(int sig)
{
    if (running())
        ::kill(static_cast<pid_t>(pid), sig);
}

void ChildProcess::stop(int sig)
{
    signal(sig);
    waitExit(10);
    if (running()) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
        waitExit(5);
    }
}

std::string ChildProcess::out() const
{
    return readFile(outPath);
}

std::string ChildProcess::err() const
{
    return readFile(errPath);
}
