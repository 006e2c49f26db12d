// What the child-process helper does the same on every platform; starting,
// waiting and signalling are in one file per platform.
#include "child_process.h"

#include <chrono>
#include <thread>

ChildProcess::ChildProcess(const std::string& folder, const std::vector<std::string>& args,
                           const std::vector<std::string>& env)
    : outPath(folder + "/stdout.txt")
    , errPath(folder + "/stderr.txt")
{
    start(folder, args, env);
}

ChildProcess::ChildProcess(const std::vector<std::string>& args, const std::string& outPath,
                           const std::string& errPath)
    : outPath(outPath)
    , errPath(errPath)
{
    start("", args, {});
}

bool ChildProcess::waitExit(double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (running()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
