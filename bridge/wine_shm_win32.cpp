#include "wine_shm.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <windows.h>

#include "live_posix_scheme.h"
#include "telemetry_layout.h"
#include "waker_protocol.h"

namespace wine_shm {

namespace {

// The channel to the waker: the FIFO's handle, the signals written since the
// objects were last created, and the counter the waker increments for them.
HANDLE fifo = INVALID_HANDLE_VALUE;
uint32_t signalsWritten = 0;
const uint32_t* madeCounter = nullptr;
bool behindReported = false;

std::string lastErrorText()
{
    char text[256] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, text,
        sizeof text - 1, nullptr);
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' '))
        text[--n] = '\0';
    return text;
}

// The Windows path of a file under /dev/shm: Wine shows the root as Z:.
std::string dosPath(const std::string& name)
{
    return "Z:\\dev\\shm\\" + name.substr(1);
}

bool sameFile(const std::string& path, const MappedFile& file)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool same = GetFileInformationByHandle(h, &info) && info.dwVolumeSerialNumber == file.volume
        && info.nFileIndexHigh == file.indexHigh && info.nFileIndexLow == file.indexLow;
    CloseHandle(h);
    return same;
}

void send(char message)
{
    DWORD written = 0;
    if (fifo != INVALID_HANDLE_VALUE)
        WriteFile(fifo, &message, 1, &written, nullptr);
}

// The folder of this program, with its trailing backslash.
std::string programFolder()
{
    std::vector<char> path(32768);
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    const std::string program(path.data(), n < path.size() ? n : 0);
    return program.substr(0, program.find_last_of("\\/") + 1);
}

} // namespace

bool available()
{
    const DWORD attributes = GetFileAttributesA("Z:\\dev\\shm");
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool create(const std::string& name, size_t size, MappedFile* out, std::string* error)
{
    const std::string path = dosPath(name);
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
        DeleteFileA(path.c_str());
        file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        *error = "Wine: cannot create " + path + ": " + lastErrorText();
        return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE mapping = nullptr;
    void* view = nullptr;
    if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file)
        && GetFileInformationByHandle(file, &info)) {
        mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
        if (mapping)
            view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    }
    if (!view) {
        *error = "Wine: cannot size and map " + path + ": " + lastErrorText();
        if (mapping)
            CloseHandle(mapping);
        CloseHandle(file);
        DeleteFileA(path.c_str());
        return false;
    }
    *out = MappedFile{file, mapping, static_cast<char*>(view), size, path, info.dwVolumeSerialNumber,
        info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

void remove(MappedFile* file)
{
    if (!file->view)
        return;
    UnmapViewOfFile(file->view);
    CloseHandle(file->mapping);
    CloseHandle(file->file);
    if (sameFile(file->path, *file))
        DeleteFileA(file->path.c_str());
    *file = MappedFile{};
}

// The waker creates the FIFO; this side waits for it and opens it for
// reading and writing, which never blocks (a FIFO opened for writing alone
// would wait for its reader, inside Wine's server).
bool startWaker(std::string* error)
{
    const std::string folder = programFolder();
    const std::string waker = folder + waker_protocol::kProgramName;
    if (GetFileAttributesA(waker.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *error = "no " + waker;
        return false;
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::string fifoName = live_posix::objectName(("Local\\telemetry-bridge-" + std::to_string(GetCurrentProcessId()) + "-"
        + std::to_string(now.QuadPart) + ".fifo").c_str());
    std::string command = "\"" + waker + "\" \"/dev/shm" + fifoName + "\" \"" + live_posix::objectName(IRSDK_MEMMAPFILENAME)
        + "\" \"" + live_posix::objectName(IRSDK_DATAVALIDEVENTNAME) + "\"";
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(waker.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
            &process)) {
        *error = "cannot start " + waker + ": " + lastErrorText();
        return false;
    }
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    // Wine reports no attributes for a FIFO: opening it is the test.
    const std::string path = dosPath(fifoName);
    for (int waited = 0; waited < 10000 && fifo == INVALID_HANDLE_VALUE; waited += 10) {
        fifo = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (fifo == INVALID_HANDLE_VALUE)
            Sleep(10);
    }
    if (fifo == INVALID_HANDLE_VALUE) {
        *error = waker + " did not make its channel " + path + ": " + lastErrorText();
        return false;
    }
    send(waker_protocol::kHello);
    return true;
}

void announceOpened(const uint32_t* counter)
{
    madeCounter = counter;
    signalsWritten = 0;
    send(waker_protocol::kOpened);
}

void wake()
{
    if (fifo == INVALID_HANDLE_VALUE || !madeCounter)
        return;
    const uint32_t made = __atomic_load_n(madeCounter, __ATOMIC_ACQUIRE);
    if (signalsWritten - made >= waker_protocol::kMaxUnread) {
        if (!behindReported)
            std::fprintf(stderr, "telemetry-bridge: the waker does not keep up; native readers now find each "
                                 "record when their wait times out\n");
        behindReported = true;
        return;
    }
    send(waker_protocol::kSignal);
    ++signalsWritten;
}

void announceClosed()
{
    madeCounter = nullptr;
    send(waker_protocol::kClosed);
}

void stopWaker()
{
    if (fifo != INVALID_HANDLE_VALUE)
        CloseHandle(fifo);
    fifo = INVALID_HANDLE_VALUE;
}

} // namespace wine_shm
