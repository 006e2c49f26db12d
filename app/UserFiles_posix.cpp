#include "UserFiles.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
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

// The folder part of a path: "." for a bare name, "/" for a file at the root.
std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash > 0 ? slash : 1);
}

// The file a path finally names, following symbolic links, also to a
// file that does not exist yet.
bool finalTarget(const std::string& path, std::string* target, std::string* error)
{
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = p;
            return true;
        }
        std::vector<char> buf(4096);
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<size_t>(n) >= buf.size()) {
            if (n >= 0)
                errno = ENAMETOOLONG;
            *error = systemError("cannot follow the link " + p);
            return false;
        }
        const std::string link(buf.data(), static_cast<size_t>(n));
        p = link[0] == '/' ? link : folderOf(p) + "/" + link;
    }
    errno = ELOOP;
    *error = systemError("cannot follow the link " + path);
    return false;
}

// A temporary file is older than this only when its writer is gone: a
// write takes far less.
const time_t kStaleSeconds = 600;

// Whether a name is NAME + kTemporaryInfix + six letters or digits, as
// mkstemp completes it, for NAME equal to `ending` or, with anyEnding, any
// longer name that ends in it.
bool isTemporaryOf(const std::string& entry, const std::string& ending, bool anyEnding)
{
    const size_t unique = 6, infix = sizeof kTemporaryInfix - 1;
    if (entry.size() < infix + unique ||
        entry.compare(entry.size() - unique - infix, infix, kTemporaryInfix) != 0)
        return false;
    for (size_t i = entry.size() - unique; i < entry.size(); ++i) {
        const char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    const std::string base = entry.substr(0, entry.size() - unique - infix);
    if (!anyEnding)
        return base == ending;
    return base.size() > ending.size() && base.compare(base.size() - ending.size(), ending.size(), ending) == 0;
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

std::string stateFolder(std::string* error)
{
    return xdgFolder("XDG_STATE_HOME", ".local/state", error);
}

// The runtime folder has no fallback below the home folder; the state folder
// is the user's own too, and holds a lock as well.
std::string runtimeFolder(std::string* error)
{
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    return value && value[0] == '/' ? xdgFolder("XDG_RUNTIME_DIR", "", error) : stateFolder(error);
}

bool createFolders(const std::string& folder, std::string* error)
{
    return makeFolders(folder, error);
}

ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error)
{
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const bool missing = errno == ENOENT;
        *error = systemError("cannot read " + path);
        return missing ? ReadStatus::Missing : ReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = "cannot read " + path + ": " + (S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file");
        ::close(fd);
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

FileLock::FileLock(const std::string& lockPath, int waitMs) : handle(-1)
{
    if (!makeFolders(folderOf(lockPath), &why))
        return;
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = systemError("cannot open the lock file " + lockPath);
        return;
    }
    handle = fd;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            locked = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            why = systemError("cannot lock " + lockPath);
            return;
        }
        if (std::chrono::steady_clock::now() >= end) {
            why = lockPath + " is held by another program";
            busy = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FileLock::~FileLock()
{
    // Closing the descriptor releases the lock.
    if (handle >= 0)
        ::close(static_cast<int>(handle));
}

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error)
{
    std::string target;
    if (!finalTarget(path, &target, error))
        return false;
    const std::string folder = folderOf(target);
    if (!makeFolders(folder, error))
        return false;

    // Settings and kept laps are the user's own: readable by others as the
    // files the user makes by hand would be, unless the user chose otherwise.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            *error = "cannot replace " + target + ": not a regular file";
            return false;
        }
        // The write bits (or, for a user other than root, access) say whether
        // the user wants the file changed.
        if ((st.st_mode & 0222) == 0 || (::access(target.c_str(), W_OK) != 0 && errno == EACCES)) {
            *error = target + " is read-only";
            return false;
        }
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        *error = systemError("cannot replace " + target);
        return false;
    }

    std::string temp = target + kTemporaryInfix + "XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        *error = systemError("cannot write in " + folder);
        return false;
    }
    ::fchmod(fd, mode);
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        errno = written ? errno : writeErrno;
        *error = systemError("cannot write " + temp);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        *error = systemError("cannot replace " + target);
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

void removeStaleTemporaries(const std::string& path, const std::string& lockPath)
{
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const bool anyEnding = !name.empty() && name[0] == '*';
    struct stat link {};
    if (!anyEnding && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
        return;
    const std::string folder = folderOf(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    FileLock lock(lockPath, 0);
    if (!lock.held()) {
        ::closedir(dir);
        return;
    }
    const std::string ending = anyEnding ? name.substr(1) : name;
    const time_t now = std::time(nullptr);
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        if (!isTemporaryOf(entry, ending, anyEnding))
            continue;
        const std::string full = folder + "/" + entry;
        struct stat st {};
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= kStaleSeconds)
            stale.push_back(full);
    }
    ::closedir(dir);
    for (const std::string& file : stale)
        ::unlink(file.c_str());
}

bool restrictToOwner(const std::string& path, bool* narrowed, std::string* error)
{
    *narrowed = false;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *error = systemError("cannot read the permissions of " + path);
        return false;
    }
    if ((st.st_mode & 077) == 0)
        return true;
    if (::chmod(path.c_str(), st.st_mode & 0700) != 0) {
        *error = systemError("cannot make " + path + " readable by its owner only");
        return false;
    }
    *narrowed = true;
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
