// The operating-system calls behind the live telemetry layer: one named
// shared-memory object mapped whole and read-only and read through copies
// that survive a writer shrinking it, one named data-ready event with a
// millisecond wait, a sleep, and registered window messages. One
// implementation per platform, chosen by the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace irsdk_platform {

// Opaque handle of an opened object; null means none.
using Handle = void*;

// The system name of one of the layout's object names ("Local\..."), with
// the test prefix of the environment variable IRSDK_SHM_PREFIX inserted
// before the bare name when it is set.
std::string objectName(const char* layoutName);

Handle openSharedMemory(const char* layoutName);
// Maps the whole object read-only; null on failure. *size receives the
// number of bytes that may be read from the returned view.
const char* mapSharedMemory(Handle memory, size_t* size);
void unmapSharedMemory(const char* view, size_t size);
void closeSharedMemory(Handle memory);
// Copies length bytes out of a view of another process's object. False,
// never a fault, when the object no longer covers them (its writer shrank it
// while it was mapped); the caller then treats the writer as gone.
bool copyFromView(void* dest, const char* src, size_t length);
// Loads count aligned 32-bit words of a view, each atomically, with acquire
// ordering after the last; false as above.
bool loadWordsFromView(const int32_t* words, int32_t* values, size_t count);
// True when the name now belongs to another object than the opened one (the
// writer removed its object and created a new one); the reader then has to
// attach again to see it.
bool sharedMemoryReplaced(Handle memory, const char* layoutName);

Handle openEvent(const char* layoutName);
// Returns when the event is signalled or after timeoutMs milliseconds; false
// when the event's object is gone from under the reader (attach again).
bool waitEvent(Handle event, int timeoutMs);
void closeEvent(Handle event);

void sleepMs(int ms);

// 0 when the system has no registered window messages.
unsigned int registerMessage(const char* name);
// Posts to all top-level windows without waiting.
void postMessage(unsigned int msgId, intptr_t wParam, intptr_t lParam);

} // namespace irsdk_platform
