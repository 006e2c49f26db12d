#include "UserFiles.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace userfiles {

const char* const kProjectFolder = "telemetry-overlay";

namespace {

// Paths are UTF-8 in the program and UTF-16 for the system.
std::wstring wide(const std::string& s)
{
    if (s.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& w)
{
    if (w.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// The system's text for the last error, without its line break.
std::string systemError(const std::string& what)
{
    const DWORD code = ::GetLastError();
    char* text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = text ? text : "error " + std::to_string(code);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return what + ": " + reason;
}

std::string knownFolder(const wchar_t* variable, std::string* error)
{
    std::vector<wchar_t> buf(32768);
    const DWORD n = ::GetEnvironmentVariableW(variable, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0 || n >= buf.size()) {
        *error = "no folder for user files: " + narrow(variable) + " is not set";
        return {};
    }
    std::string base = narrow(std::wstring(buf.data(), n));
    while (!base.empty() && (base.back() == '\\' || base.back() == '/'))
        base.pop_back();
    return base + "\\" + kProjectFolder;
}

bool makeFolders(const std::string& folder, std::string* error)
{
    for (size_t sep = folder.find_first_of("\\/", 3);; sep = folder.find_first_of("\\/", sep + 1)) {
        const std::wstring part = wide(folder.substr(0, sep));
        if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            *error = systemError("cannot create " + narrow(part));
            return false;
        }
        if (sep == std::string::npos)
            break;
    }
    return true;
}

// The file a path finally names: for a symbolic link, the file it leads to.
std::string finalTarget(const std::string& path)
{
    const std::wstring w = wide(path);
    const DWORD attributes = ::GetFileAttributesW(w.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    HANDLE f = ::CreateFileW(w.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return path;
    std::vector<wchar_t> buf(32768);
    const DWORD n = ::GetFinalPathNameByHandleW(f, buf.data(), static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    ::CloseHandle(f);
    if (n == 0 || n >= buf.size())
        return path;
    std::wstring final(buf.data(), n);
    if (final.compare(0, 4, L"\\\\?\\") == 0)
        final.erase(0, 4);
    return narrow(final);
}

// A temporary file is older than this (in 100 ns ticks, ten minutes) only
// when its writer is gone: a write takes far less.
const uint64_t kStaleTicks = 600ull * 10000000ull;

// Whether a name is NAME + kTemporaryInfix + a process id, as
// writeFileAtomically makes it, for NAME equal to `ending` or, with
// anyEnding, any longer name that ends in it.
bool isTemporaryOf(const std::string& entry, const std::string& ending, bool anyEnding)
{
    const size_t infix = entry.rfind(kTemporaryInfix);
    const size_t digits = infix + sizeof kTemporaryInfix - 1;
    if (infix == std::string::npos || digits == entry.size() ||
        entry.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    const std::string base = entry.substr(0, infix);
    if (!anyEnding)
        return base == ending;
    return base.size() > ending.size() && base.compare(base.size() - ending.size(), ending.size(), ending) == 0;
}

} // namespace

std::string configFolder(std::string* error)
{
    return knownFolder(L"APPDATA", error);
}

std::string dataFolder(std::string* error)
{
    return knownFolder(L"LOCALAPPDATA", error);
}

std::string stateFolder(std::string* error)
{
    return knownFolder(L"LOCALAPPDATA", error);
}

std::string runtimeFolder(std::string* error)
{
    return knownFolder(L"LOCALAPPDATA", error);
}

bool createFolders(const std::string& folder, std::string* error)
{
    return makeFolders(folder, error);
}

ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error)
{
    HANDLE f = ::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        *error = systemError("cannot read " + path);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing : ReadStatus::Failed;
    }
    // A pipe or a device (CON, a serial port) is not a file to read whole.
    if (::GetFileType(f) != FILE_TYPE_DISK) {
        *error = "cannot read " + path + ": not a regular file";
        ::CloseHandle(f);
        return ReadStatus::Failed;
    }
    contents->clear();
    char buf[8192];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(f, buf, sizeof buf, &n, nullptr)) {
            *error = systemError("cannot read " + path);
            ::CloseHandle(f);
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        if (contents->size() + n > maxBytes) {
            *error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
            ::CloseHandle(f);
            return ReadStatus::Failed;
        }
        contents->append(buf, n);
    }
    ::CloseHandle(f);
    return ReadStatus::Ok;
}

FileLock::FileLock(const std::string& lockPath, int waitMs) : handle(0)
{
    const size_t sep = lockPath.find_last_of("\\/");
    if (sep != std::string::npos && !makeFolders(lockPath.substr(0, sep), &why))
        return;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE f = ::CreateFileW(wide(lockPath).c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        why = systemError("cannot open the lock file " + lockPath);
        return;
    }
    handle = reinterpret_cast<intptr_t>(f);
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(waitMs > 0 ? waitMs : 0);
    for (;;) {
        OVERLAPPED at{};
        if (::LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            locked = true;
            return;
        }
        if (::GetLastError() != ERROR_LOCK_VIOLATION) {
            why = systemError("cannot lock " + lockPath);
            return;
        }
        if (::GetTickCount64() >= end) {
            why = lockPath + " is held by another program";
            busy = true;
            return;
        }
        ::Sleep(10);
    }
}

FileLock::~FileLock()
{
    // Closing the handle releases the lock.
    if (handle)
        ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error)
{
    const std::string target = finalTarget(path);
    const size_t sep = target.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? "." : target.substr(0, sep);
    if (!makeFolders(folder, error))
        return false;
    const DWORD attributes = ::GetFileAttributesW(wide(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            *error = "cannot replace " + target + ": not a regular file";
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            *error = target + " is read-only";
            return false;
        }
    }

    const std::string temp = target + kTemporaryInfix + std::to_string(::GetCurrentProcessId());
    const std::wstring wtemp = wide(temp);
    HANDLE f = ::CreateFileW(wtemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        *error = systemError("cannot write in " + folder);
        return false;
    }
    bool written = true;
    for (size_t done = 0; written && done < contents.size();) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - done, 1u << 20));
        written = ::WriteFile(f, contents.data() + done, chunk, &n, nullptr) && n > 0;
        done += n;
    }
    written = written && ::FlushFileBuffers(f);
    if (!written)
        *error = systemError("cannot write " + temp);
    ::CloseHandle(f);
    if (written && !::MoveFileExW(wtemp.c_str(), wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = systemError("cannot replace " + target);
        written = false;
    }
    if (!written)
        ::DeleteFileW(wtemp.c_str());
    return written;
}

void removeStaleTemporaries(const std::string& path, const std::string& lockPath)
{
    const size_t sep = path.find_last_of("\\/");
    const std::string name = path.substr(sep == std::string::npos ? 0 : sep + 1);
    const bool anyEnding = !name.empty() && name[0] == '*';
    const DWORD own = ::GetFileAttributesW(wide(path).c_str());
    if (!anyEnding && own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    const std::string folder = sep == std::string::npos ? "." : path.substr(0, sep);
    const std::string ending = anyEnding ? name.substr(1) : name;
    const DWORD attributes = ::GetFileAttributesW(wide(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    FileLock lock(lockPath, 0);
    if (!lock.held())
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(wide(folder + "\\*" + kTemporaryInfix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME nowTime;
    ::GetSystemTimeAsFileTime(&nowTime);
    const uint64_t now = (static_cast<uint64_t>(nowTime.dwHighDateTime) << 32) | nowTime.dwLowDateTime;
    std::vector<std::wstring> stale;
    do {
        const std::string entry = narrow(found.cFileName);
        const uint64_t written = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                 found.ftLastWriteTime.dwLowDateTime;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isTemporaryOf(entry, ending, anyEnding) &&
            now > written && now - written >= kStaleTicks)
            stale.push_back(wide(folder + "\\" + entry));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    // A live writer holds its temporary open without sharing: it cannot be deleted.
    for (const std::wstring& file : stale)
        ::DeleteFileW(file.c_str());
}

bool restrictToOwner(const std::string&, bool* narrowed, std::string*)
{
    *narrowed = false;
    return true;
}

bool removeFile(const std::string& path, std::string* error)
{
    if (!::DeleteFileW(wide(path).c_str())) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;
        *error = systemError("cannot delete " + path);
        return false;
    }
    return true;
}

} // namespace userfiles
