// How the live telemetry is exchanged on POSIX systems, stated once for the
// reader (irsdk_platform_posix.cpp) and the publisher (live_publisher_posix.cpp).
//
// - Names: each of the layout's object names ("Local\IRSDKMemMapFileName",
//   "Local\IRSDKDataValidEvent") becomes a shm object named "/" + the name
//   without its "Local\" prefix. When the environment variable
//   IRSDK_SHM_PREFIX is set, its value goes between the "/" and the bare
//   name, so that tests and parallel runs get objects of their own.
// - Telemetry: the first object holds the header, variable table, session
//   text and record slots exactly as the layout describes them.
// - Data-ready event: the second object holds one 32-bit counter word. The
//   publisher increments it (release order) after each record and then wakes
//   every futex waiter on the word; a reader remembers the value it last saw
//   and sleeps on the futex only while the word still holds that value, so a
//   signal that comes between its check and its sleep is not lost.
// Internal to the live layer, its publisher and the bridge (which writes the
// scheme from a Windows program under Wine, so the names and sizes here
// compile anywhere and only the futex calls need Linux): no other code
// includes this.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#ifdef __linux__
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace live_posix {

// The counter word of the data-ready event object.
using EventCounter = uint32_t;
constexpr size_t kEventObjectSize = sizeof(EventCounter);

// The shm object name of one of the layout's object names.
inline std::string objectName(const char* layoutName)
{
    const char* bare = layoutName;
    const char* local = "Local\\";
    if (std::strncmp(bare, local, std::strlen(local)) == 0)
        bare += std::strlen(local);
    std::string name = "/";
    if (const char* prefix = std::getenv("IRSDK_SHM_PREFIX"))
        name += prefix;
    return name + bare;
}

// The counter as the publisher last released it.
inline EventCounter loadCounter(const EventCounter* counter)
{
    return __atomic_load_n(counter, __ATOMIC_ACQUIRE);
}

#ifdef __linux__
// Sleeps until the publisher wakes the word or timeoutMs passes; returns at
// once when the word no longer holds `seen`. False when the word's page is
// gone (the publisher shrank the object): the kernel answers EFAULT at once
// instead of sleeping.
inline bool waitCounter(const EventCounter* counter, EventCounter seen, int timeoutMs)
{
    struct timespec ts;
    ts.tv_sec = timeoutMs / 1000;
    ts.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
    return !(syscall(SYS_futex, counter, FUTEX_WAIT, seen, &ts, nullptr, 0) != 0 && errno == EFAULT);
}

// Announces a new record: the increment publishes it, the wake reaches every reader.
inline void signalCounter(EventCounter* counter)
{
    __atomic_add_fetch(counter, 1, __ATOMIC_RELEASE);
    syscall(SYS_futex, counter, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}
#endif

} // namespace live_posix
