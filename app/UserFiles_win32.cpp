#include "UserFiles.h"

#include <algorithm>
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

} // namespace

std::string configFolder(std::string* error)
{
    return knownFolder(L"APPDATA", error);
}

std::string dataFolder(std::string* error)
{
    return knownFolder(L"LOCALAPPDATA", error);
}

ReadStatus readFile(const std::string& path, size_t maxBytes, std::string* contents, std::string* error)
{
    HANDLE f = ::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return ReadStatus::Missing;
        *error = systemError("cannot read " + path);
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

bool writeFileAtomically(const std::string& path, const std::string& contents, std::string* error)
{
    const size_t sep = path.find_last_of("\\/");
    const std::string folder = sep == std::string::npos ? "." : path.substr(0, sep);
    if (!makeFolders(folder, error))
        return false;

    const std::string temp = path + "." + std::to_string(::GetCurrentProcessId()) + ".tmp";
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
    if (written && !::MoveFileExW(wtemp.c_str(), wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = systemError("cannot replace " + path);
        written = false;
    }
    if (!written)
        ::DeleteFileW(wtemp.c_str());
    return written;
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
