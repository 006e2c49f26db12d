#include "resources.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace Qvis {

namespace {

// The program's own file, from the system: empty when it cannot say.
std::string programPath()
{
    std::vector<char> path(32768);
#if defined(_WIN32)
    const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return n > 0 && n < path.size() ? std::string(path.data(), n) : std::string();
#else
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    return n > 0 && static_cast<size_t>(n) < path.size() ? std::string(path.data(), static_cast<size_t>(n))
                                                         : std::string();
#endif
}

// The folder part of a path with its separator, or empty for a bare name.
std::string folderWithSeparator(const std::string& path)
{
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

} // namespace

std::vector<std::string> resourceFolders()
{
    std::vector<std::string> folders{""};
    const std::string program = folderWithSeparator(programPath());
    if (program.empty())
        return folders;
    folders.push_back(program);
    // The parent of the program's folder, written out rather than with ".."
    // so that a message names the real place.
    const std::string parent = folderWithSeparator(program.substr(0, program.size() - 1));
    if (!parent.empty())
        folders.push_back(parent + "share/telemetry-overlay/");
    return folders;
}

std::string describeResourceFolders(const std::vector<std::string>& folders)
{
    std::string text;
    for (size_t i = 0; i < folders.size(); ++i) {
        if (i > 0)
            text += i + 1 == folders.size() ? " and " : ", ";
        if (!folders[i].empty()) {
            text += folders[i].substr(0, folders[i].size() - 1);
            continue;
        }
        std::vector<char> cwd(4096);
#if defined(_WIN32)
        const bool known = ::GetCurrentDirectoryA(static_cast<DWORD>(cwd.size()), cwd.data()) > 0;
#else
        const bool known = ::getcwd(cwd.data(), cwd.size()) != nullptr;
#endif
        text += known ? std::string("the working directory ") + cwd.data() : "the working directory";
    }
    return text;
}

std::string unreadableResource(const std::string& folder, const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        const std::string path = folder + file;
        errno = 0;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            return path + ": " + std::strerror(errno);
        char probe;
        errno = 0;
        const bool failed = std::fread(&probe, 1, 1, f) == 0 && std::ferror(f);
        const int error = errno;
        std::fclose(f);
        if (failed)
            return path + ": " + std::strerror(error ? error : EIO);
    }
    return std::string();
}

std::string findResource(const std::string& file)
{
    for (const std::string& folder : resourceFolders())
        if (unreadableResource(folder, {file}).empty())
            return folder + file;
    return std::string();
}

} // namespace Qvis
