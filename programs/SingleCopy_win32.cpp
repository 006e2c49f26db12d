#include "SingleCopy.h"

#include <string>

#include <windows.h>

CopyClaim claimOnlyCopy(const char* program, std::string* error)
{
    // Local\: the user's session. The mutex exists while a copy holds a
    // handle to it; this one is never closed while the process runs.
    const std::string name = std::string("Local\\") + program + "-one-copy";
    const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex) {
        *error = "cannot create the mutex " + name + " (error " + std::to_string(::GetLastError()) + ")";
        return CopyClaim::Unknown;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return CopyClaim::AnotherRuns;
    }
    return CopyClaim::Only;
}
