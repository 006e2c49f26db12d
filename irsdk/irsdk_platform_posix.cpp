// POSIX live layer, the reading end of the scheme in live_posix_scheme.h.
// Window messages do not exist here.
#include "irsdk_platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "live_posix_scheme.h"

namespace irsdk_platform {

namespace {

struct SharedMemory {
    int fd;
};

struct Event {
    const live_posix::EventCounter* counter;
    size_t size;
    live_posix::EventCounter seen; // counter value at the last return from waitEvent
};

// Opens and maps a shm object read-only, whole; false when missing or smaller than minSize.
bool mapReadOnly(const char* layoutName, size_t minSize, int* fdOut, const char** viewOut, size_t* sizeOut)
{
    const std::string name = objectName(layoutName);
    const int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size <= 0 || static_cast<size_t>(st.st_size) < minSize) {
        close(fd);
        return false;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        close(fd);
        return false;
    }
    *fdOut = fd;
    *viewOut = static_cast<const char*>(view);
    *sizeOut = size;
    return true;
}

} // namespace

std::string objectName(const char* layoutName)
{
    return live_posix::objectName(layoutName);
}

Handle openSharedMemory(const char* layoutName)
{
    const std::string name = objectName(layoutName);
    const int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    return new (std::nothrow) SharedMemory{fd};
}

const char* mapSharedMemory(Handle memory, size_t* size)
{
    const auto* m = static_cast<SharedMemory*>(memory);
    struct stat st;
    if (fstat(m->fd, &st) != 0 || st.st_size <= 0)
        return nullptr;
    void* view = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, m->fd, 0);
    if (view == MAP_FAILED)
        return nullptr;
    *size = static_cast<size_t>(st.st_size);
    return static_cast<const char*>(view);
}

void unmapSharedMemory(const char* view, size_t size)
{
    munmap(const_cast<char*>(view), size);
}

void closeSharedMemory(Handle memory)
{
    auto* m = static_cast<SharedMemory*>(memory);
    close(m->fd);
    delete m;
}

bool sharedMemoryReplaced(Handle memory, const char* layoutName)
{
    const auto* m = static_cast<SharedMemory*>(memory);
    const int fd = shm_open(objectName(layoutName).c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat named, held;
    const bool replaced = fstat(fd, &named) == 0 && fstat(m->fd, &held) == 0
        && (named.st_ino != held.st_ino || named.st_dev != held.st_dev);
    close(fd);
    return replaced;
}

Handle openEvent(const char* layoutName)
{
    int fd = -1;
    const char* view = nullptr;
    size_t size = 0;
    if (!mapReadOnly(layoutName, live_posix::kEventObjectSize, &fd, &view, &size))
        return nullptr;
    close(fd); // the mapping keeps the object alive
    auto* e = new (std::nothrow) Event;
    if (!e) {
        munmap(const_cast<char*>(view), size);
        return nullptr;
    }
    e->counter = reinterpret_cast<const live_posix::EventCounter*>(view);
    e->size = size;
    e->seen = live_posix::loadCounter(e->counter);
    return e;
}

// Returns at once when the counter moved since the last return (a signal
// that came while the caller was busy is not lost); otherwise sleeps on the
// futex until the writer wakes all waiters or the time-out passes.
void waitEvent(Handle event, int timeoutMs)
{
    auto* e = static_cast<Event*>(event);
    const live_posix::EventCounter now = live_posix::loadCounter(e->counter);
    if (now == e->seen && timeoutMs > 0)
        live_posix::waitCounter(e->counter, now, timeoutMs);
    e->seen = live_posix::loadCounter(e->counter);
}

void closeEvent(Handle event)
{
    auto* e = static_cast<Event*>(event);
    munmap(const_cast<live_posix::EventCounter*>(e->counter), e->size);
    delete e;
}

void sleepMs(int ms)
{
    if (ms <= 0)
        return;
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

unsigned int registerMessage(const char*)
{
    return 0;
}

void postMessage(unsigned int, intptr_t, intptr_t)
{
}

} // namespace irsdk_platform
