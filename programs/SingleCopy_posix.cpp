#include "SingleCopy.h"

#include "UserFiles.h"

CopyClaim claimOnlyCopy(const char* program, std::string* error)
{
    const std::string folder = userfiles::runtimeFolder(error);
    if (folder.empty())
        return CopyClaim::Unknown;
    // Held for the rest of the run: never destroyed, so never let go of
    // before the process ends.
    static userfiles::FileLock* lock = nullptr;
    if (!lock)
        lock = new userfiles::FileLock(folder + "/" + program + ".lock", 0);
    if (lock->held())
        return CopyClaim::Only;
    if (lock->heldElsewhere())
        return CopyClaim::AnotherRuns;
    *error = lock->error();
    return CopyClaim::Unknown;
}
