#include "temp_folder.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string processTag()
{
#if defined(_WIN32)
    const long id = _getpid();
#else
    const long id = ::getpid();
#endif
    return "overlay-test-" + std::to_string(id);
}

} // namespace

std::string tempPath(const std::string& tag)
{
    std::error_code ec;
    return (fs::temp_directory_path(ec) / (processTag() + "-" + tag)).string();
}

// Counts up until a name is free, so folders of one process never collide.
TempFolder::TempFolder(const std::string& tag)
{
    static std::atomic<int> serial{0};
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    for (int tries = 0; tries < 1000; ++tries) {
        const fs::path candidate = base / (processTag() + "-" + tag + "-" + std::to_string(serial++));
        if (fs::create_directory(candidate, ec)) {
            folder = candidate.string();
            return;
        }
    }
}

TempFolder::~TempFolder()
{
    if (folder.empty() || std::getenv("OVERLAY_TEST_KEEP"))
        return;
    std::error_code ec;
    fs::remove_all(folder, ec);
}
