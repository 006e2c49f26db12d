// POSIX live layer, the reading end of the scheme in live_posix_scheme.h.
// Window messages do not exist here.
//
// The writer may truncate either object while it is mapped here; touching a
// page past the new end raises SIGBUS. Every read of a view therefore goes
// through one guarded copy: a SIGBUS handler that finds a guard armed on its
// thread jumps back out of the copy, which then reports failure.
#include "irsdk_platform.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
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

// The guard of the copy in progress on this thread, null outside one.
thread_local sigjmp_buf* armedGuard = nullptr;
struct sigaction previousBusAction;

// A fault inside a guarded copy ends the copy; any other goes to the
// disposition that was there before ours (the faulting access is repeated
// under it when this handler returns).
void onBusError(int, siginfo_t*, void*)
{
    if (sigjmp_buf* guard = armedGuard) {
        armedGuard = nullptr;
        siglongjmp(*guard, 1);
    }
    sigaction(SIGBUS, &previousBusAction, nullptr);
}

// Installs the handler once per process. SA_NODEFER keeps SIGBUS unblocked
// after the jump, since the guard does not save the signal mask.
void installBusGuard()
{
    static const bool installed = [] {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, &previousBusAction) == 0;
    }();
    (void)installed;
}

// Runs read() with the guard armed; false when it faulted.
template <typename Read>
bool guarded(Read read)
{
    installBusGuard();
    sigjmp_buf guard;
    if (sigsetjmp(guard, 0) != 0)
        return false;
    armedGuard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    read();
    std::atomic_signal_fence(std::memory_order_seq_cst);
    armedGuard = nullptr;
    return true;
}

struct SharedMemory {
    int fd;
};

struct Event {
    const live_posix::EventCounter* counter; // also the futex address
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

bool copyFromView(void* dest, const char* src, size_t length)
{
    return guarded([&] { std::memcpy(dest, src, length); });
}

bool loadWordsFromView(const int32_t* words, int32_t* values, size_t count)
{
    return guarded([&] {
        for (size_t i = 0; i < count; ++i)
            values[i] = __atomic_load_n(words + i, __ATOMIC_RELAXED);
        __atomic_thread_fence(__ATOMIC_ACQUIRE);
    });
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
    int32_t seen = 0;
    if (!loadWordsFromView(reinterpret_cast<const int32_t*>(e->counter), &seen, 1)) {
        closeEvent(e);
        return nullptr;
    }
    e->seen = static_cast<live_posix::EventCounter>(seen);
    return e;
}

// Returns at once when the counter moved since the last return (a signal
// that came while the caller was busy is not lost); otherwise sleeps on the
// futex until the writer wakes all waiters or the time-out passes. A counter
// page that vanished faults the load (guarded) or makes the futex wait fail
// instead of sleeping: the wait then sleeps its time-out, so a polling caller
// does not spin, and reports the event gone.
bool waitEvent(Handle event, int timeoutMs)
{
    auto* e = static_cast<Event*>(event);
    const int32_t* word = reinterpret_cast<const int32_t*>(e->counter);
    int32_t now = 0;
    bool alive = loadWordsFromView(word, &now, 1);
    if (alive && static_cast<live_posix::EventCounter>(now) == e->seen && timeoutMs > 0)
        alive = live_posix::waitCounter(e->counter, static_cast<live_posix::EventCounter>(now), timeoutMs);
    if (alive && loadWordsFromView(word, &now, 1)) {
        e->seen = static_cast<live_posix::EventCounter>(now);
        return true;
    }
    sleepMs(timeoutMs);
    return false;
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
