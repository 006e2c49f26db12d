#include "temp_folder.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
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

bool keepForALook()
{
    return std::getenv("OVERLAY_TEST_KEEP") != nullptr;
}

// The paths tempPath handed out, removed as the test process ends. A child
// forked from it that ends through exit() shares the list but not the
// ownership: only the process that made the list removes them.
class HandedOut {
public:
    void add(const std::string& path)
    {
        const std::lock_guard<std::mutex> hold(mutex);
        paths.insert(path);
    }
    ~HandedOut()
    {
        if (processTag() != owner || keepForALook())
            return;
        std::error_code ec;
        for (const std::string& path : paths)
            fs::remove_all(path, ec);
    }

private:
    const std::string owner = processTag();
    std::mutex mutex;
    std::set<std::string> paths;
};

HandedOut& handedOut()
{
    static HandedOut list;
    return list;
}

} // namespace

std::string tempPath(const std::string& tag)
{
    std::error_code ec;
    std::string path = (fs::temp_directory_path(ec) / (processTag() + "-" + tag)).string();
    handedOut().add(path);
    return path;
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
    if (folder.empty() || keepForALook())
        return;
    std::error_code ec;
    fs::remove_all(folder, ec);
    // A store kept in the folder keeps its lock beside it, named after it.
    fs::remove(folder + ".lock", ec);
}
