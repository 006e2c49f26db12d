// What the child-process helper does the same on every platform; starting,
// waiting and signalling are in one file per platform.
#include "child_process.h"

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
