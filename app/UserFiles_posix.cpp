#include "UserFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace userfiles {

const char* const kProjectFolder = "telemetry-overlay";

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// $HOME, or the password database's home folder when HOME is unset.
std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    const passwd* pw = ::getpwuid(::getuid());
    if (pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

// The base folder the XDG variable names, when it is set to an absolute path,
// else the home folder's fallback below it.
std::string xdgFolder(const char* variable, const char* fallback, std::string* error)
{
    const char* value = std::getenv(variable);
    std::string base;
    if (value && value[0] == '/') {
        base = value;
    } else {
        const std::string home = homeFolder();
        if (home.empty()) {
            *error = std::string("no home folder: set HOME or ") + variable;
            return {};
        }
        base = home + "/" + fallback;
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/" + kProjectFolder;
}

// mkdir -p, new folders readable by their owner only.
bool makeFolders(const std::string& folder, std::string* error)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = systemError("cannot create " + part);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = folder + " is not a folder";
        return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string configFolder(std::string* error)
{
    return xdgFolder("XDG_CONFIG_HOME", ".config", error);
}

std::string dataFolder(std::string* error)
{
    return xdgFolder("XDG_DATA_HOME", ".local/share", error);
}

ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadStatus::Missing;
        *error = systemError("cannot read " + path);
        return ReadStatus::Failed;
    }
    contents->clear();
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = systemError("cannot read " + path);
            ::close(fd);
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        if (contents->size() + static_cast<size_t>(n) > maxBytes) {
            *error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            ::close(fd);
            return ReadStatus::Failed;
        }
        contents->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash > 0 ? slash : 1);
    if (!makeFolders(folder, error))
        return false;

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        *error = systemError("cannot write in " + folder);
        return false;
    }
    // Settings and kept laps are the user's own: readable by others as the
    // files the user makes by hand would be.
    ::fchmod(fd, 0644);
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        errno = written ? errno : writeErrno;
        *error = systemError("cannot write " + temp);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        *error = systemError("cannot replace " + path);
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool removeFile(const std::string& path, std::string* error)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        *error = systemError("cannot delete " + path);
        return false;
    }
    return true;
}

} // namespace userfiles
