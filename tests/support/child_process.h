// Programs run from tests: a child process with its output in files, and
// shell commands with their output. One implementation per platform.
#pragma once

#include <string>
#include <vector>

// Output of a shell command (standard output only); *status receives its
// exit status, -1 when it did not exit normally.
std::string shellOutput(const std::string& command, int* status = nullptr);

// A child process running args[0] with args, its standard output and error
// in files. A child still running at the end of the scope is killed.
class ChildProcess {
public:
    // Started in `folder`, its output in folder/stdout.txt and folder/stderr.txt;
    // env entries ("NAME=value") are added to the inherited environment.
    ChildProcess(const std::string& folder, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {});
    // Started in the current folder, its output in the files outPath and errPath.
    ChildProcess(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False when the process could not be started.
    bool started() const { return pid > 0; }
    // The system's process id, e.g. for finding the child's windows.
    long id() const { return pid; }

    bool running();
    // Waits for the exit; false if the child is still running after `seconds`.
    bool waitExit(double seconds);
    // Waits as long as it takes; the exit status.
    int wait();
    // Sends a signal without waiting.
    void signal(int sig);
    // Sends a signal and waits for the exit, killing the child if it lingers.
    void stop(int sig);

    // Exit status, 128 + the signal's number when a signal ended it, -1 while running.
    int exitStatus() const { return status; }
    std::string out() const;
    std::string err() const;

private:
    void start(const std::string& folder, const std::vector<std::string>& args, const std::vector<std::string>& env);

    std::string outPath;
    std::string errPath;
    long pid = -1;
    bool exited = false;
    int status = -1;
};
