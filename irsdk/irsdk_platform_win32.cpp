// Win32 live layer: the simulator's named file mapping, its named event and
// its registered broadcast message.
#include "irsdk_platform.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace irsdk_platform {

std::string objectName(const char* layoutName)
{
    const char* prefix = std::getenv("IRSDK_SHM_PREFIX");
    if (!prefix || !*prefix)
        return layoutName;
    const char* local = "Local\\";
    const size_t localLength = std::strlen(local);
    if (std::strncmp(layoutName, local, localLength) == 0)
        return std::string(local) + prefix + (layoutName + localLength);
    return std::string(prefix) + layoutName;
}

Handle openSharedMemory(const char* layoutName)
{
    return OpenFileMappingA(FILE_MAP_READ, FALSE, objectName(layoutName).c_str());
}

// The readable size is the view's committed region, which covers the whole
// object rounded up to pages.
const char* mapSharedMemory(Handle memory, size_t* size)
{
    void* view = MapViewOfFile(static_cast<HANDLE>(memory), FILE_MAP_READ, 0, 0, 0);
    if (!view)
        return nullptr;
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(view, &info, sizeof info) == 0) {
        UnmapViewOfFile(view);
        return nullptr;
    }
    *size = info.RegionSize;
    return static_cast<const char*>(view);
}

void unmapSharedMemory(const char* view, size_t)
{
    UnmapViewOfFile(view);
}

void closeSharedMemory(Handle memory)
{
    CloseHandle(static_cast<HANDLE>(memory));
}

// A section cannot shrink while it is mapped, so a plain copy is safe here.
bool copyFromView(void* dest, const char* src, size_t length)
{
    std::memcpy(dest, src, length);
    return true;
}

bool loadWordsFromView(const int32_t* words, int32_t* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        values[i] = __atomic_load_n(words + i, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    return true;
}

// A named mapping lives while any handle is open, so a restarted writer
// finds and reuses the object this reader holds.
bool sharedMemoryReplaced(Handle, const char*)
{
    return false;
}

Handle openEvent(const char* layoutName)
{
    return OpenEventA(SYNCHRONIZE, FALSE, objectName(layoutName).c_str());
}

bool waitEvent(Handle event, int timeoutMs)
{
    return WaitForSingleObject(static_cast<HANDLE>(event), timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0)
        != WAIT_FAILED;
}

void closeEvent(Handle event)
{
    CloseHandle(static_cast<HANDLE>(event));
}

void sleepMs(int ms)
{
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

unsigned int registerMessage(const char* name)
{
    return RegisterWindowMessageA(name);
}

void postMessage(unsigned int msgId, intptr_t wParam, intptr_t lParam)
{
    SendNotifyMessageA(HWND_BROADCAST, msgId, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

} // namespace irsdk_platform
