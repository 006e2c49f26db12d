// Win32 objects of the publisher: a named pagefile-backed file mapping and a
// named manual-reset event that signal() pulses, releasing every waiter.
#include "live_publisher.h"

#include <new>

#include <windows.h>

#include "irsdk_platform.h"

namespace live_publisher_platform {

struct Objects {
    HANDLE mapping;
    HANDLE event;
    char* view;
};

namespace {

std::string lastErrorText()
{
    char text[256] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0, text,
        sizeof text - 1, nullptr);
    return text;
}

} // namespace

Objects* create(size_t size, std::string* error)
{
    const std::string eventName = irsdk_platform::objectName(IRSDK_DATAVALIDEVENTNAME);
    const std::string memoryName = irsdk_platform::objectName(IRSDK_MEMMAPFILENAME);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    if (!event) {
        *error = "Win32: cannot create " + eventName + ": " + lastErrorText();
        return nullptr;
    }
    const unsigned long long size64 = size;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
        static_cast<DWORD>(size64 >> 32), static_cast<DWORD>(size64 & 0xFFFFFFFFu), memoryName.c_str());
    if (!mapping) {
        *error = "Win32: cannot create " + memoryName + ": " + lastErrorText();
        CloseHandle(event);
        return nullptr;
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    MEMORY_BASIC_INFORMATION info;
    if (!view || VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize < size) {
        *error = "Win32: cannot map " + memoryName + (view ? ": an existing object is too small" : ": " + lastErrorText());
        if (view)
            UnmapViewOfFile(view);
        CloseHandle(mapping);
        CloseHandle(event);
        return nullptr;
    }
    // A mapping that a reader still held keeps its old bytes.
    if (existed)
        ZeroMemory(view, size);
    auto* o = new (std::nothrow) Objects{mapping, event, static_cast<char*>(view)};
    if (!o) {
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        CloseHandle(event);
    }
    return o;
}

char* view(Objects* objects)
{
    return objects->view;
}

void signal(Objects* objects)
{
    PulseEvent(objects->event);
}

void destroy(Objects* objects)
{
    UnmapViewOfFile(objects->view);
    CloseHandle(objects->mapping);
    CloseHandle(objects->event);
    delete objects;
}

} // namespace live_publisher_platform
