// telemetry-bridge-waker: the native half of the bridge. It wakes the native
// readers for the bridge, and removes the bridge's objects when the bridge
// ended without doing so. The messages are those of waker_protocol.h.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "live_posix_scheme.h"
#include "telemetry_layout.h"
#include "waker_protocol.h"

namespace {

const char* telemetryName = nullptr;
const char* eventName = nullptr;

// The objects the bridge announced last, while they are its own.
struct Noted {
    live_posix::EventCounter* counter = nullptr;
    ino_t telemetryInode = 0;
    ino_t eventInode = 0;
    dev_t device = 0;
} noted;

void fail(const std::string& what)
{
    std::fprintf(stderr, "telemetry-bridge-waker: %s: %s\n", what.c_str(), std::strerror(errno));
}

// The inode of the object that has the name now; false when there is none.
bool inodeOf(const char* name, ino_t* inode, dev_t* device)
{
    const int fd = shm_open(name, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat st;
    const bool ok = fstat(fd, &st) == 0;
    close(fd);
    *inode = st.st_ino;
    *device = st.st_dev;
    return ok;
}

bool stillNoted(const char* name, ino_t inode)
{
    ino_t now = 0;
    dev_t device = 0;
    return inodeOf(name, &now, &device) && now == inode && device == noted.device;
}

void forget()
{
    if (noted.counter)
        munmap(noted.counter, live_posix::kEventObjectSize);
    noted = Noted{};
}

// Maps the counter of the event the bridge has just created and notes both objects.
void noteOpened()
{
    forget();
    const int fd = shm_open(eventName, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        fail(std::string("cannot open ") + eventName);
        return;
    }
    struct stat st;
    void* view = MAP_FAILED;
    if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= live_posix::kEventObjectSize)
        view = mmap(nullptr, live_posix::kEventObjectSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
        fail(std::string("cannot map ") + eventName);
        return;
    }
    dev_t device = 0;
    noted.counter = static_cast<live_posix::EventCounter*>(view);
    noted.eventInode = st.st_ino;
    noted.device = st.st_dev;
    if (!inodeOf(telemetryName, &noted.telemetryInode, &device))
        noted.telemetryInode = 0;
}

// What a stopping publisher does, for a bridge that could not: the connected
// bit cleared, the readers woken, both names removed while they are still
// the bridge's objects.
void removeLeftBehind()
{
    if (!noted.counter)
        return;
    if (noted.telemetryInode && stillNoted(telemetryName, noted.telemetryInode)) {
        const int fd = shm_open(telemetryName, O_RDWR | O_CLOEXEC, 0);
        struct stat st;
        if (fd >= 0 && fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= sizeof(irsdk_TelemetryHeader)) {
            void* view = mmap(nullptr, sizeof(irsdk_TelemetryHeader), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (view != MAP_FAILED) {
                auto* h = static_cast<irsdk_TelemetryHeader*>(view);
                __atomic_fetch_and(&h->statusFlags, ~irsdk_statusConnected, __ATOMIC_RELEASE);
                munmap(view, sizeof(irsdk_TelemetryHeader));
            }
        }
        if (fd >= 0)
            close(fd);
        live_posix::signalCounter(noted.counter);
        shm_unlink(telemetryName);
    }
    if (stillNoted(eventName, noted.eventInode))
        shm_unlink(eventName);
    forget();
}

// Waits for the bridge's first byte; false when it does not come in time.
// Until a writer has opened the FIFO a read finds end of file, so the wait
// polls.
bool awaitHello(int fd)
{
    for (int waited = 0; waited < waker_protocol::kHelloTimeoutMs; waited += 20) {
        char byte = 0;
        const ssize_t n = read(fd, &byte, 1);
        if (n == 1)
            return byte == waker_protocol::kHello;
        struct pollfd p = {fd, POLLIN, 0};
        poll(&p, 1, 20);
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FIFO TELEMETRY EVENT (started by telemetry-bridge.exe)\n",
            waker_protocol::kProgramName);
        return 2;
    }
    const char* fifo = argv[1];
    telemetryName = argv[2];
    eventName = argv[3];
    // Its life is the bridge's: Ctrl-C, a hang-up or a termination sent to
    // the whole process group ends the bridge, whose FIFO then ends this
    // program, which removes what the bridge left.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);

    if (mkfifo(fifo, 0600) != 0) {
        fail(std::string("cannot create ") + fifo);
        return 1;
    }
    const int fd = open(fifo, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fail(std::string("cannot open ") + fifo);
        unlink(fifo);
        return 1;
    }
    const bool greeted = awaitHello(fd);
    unlink(fifo);
    if (!greeted) {
        std::fprintf(stderr, "telemetry-bridge-waker: the bridge did not open %s\n", fifo);
        return 1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

    char bytes[256];
    for (;;) {
        const ssize_t n = read(fd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            switch (bytes[i]) {
            case waker_protocol::kOpened: noteOpened(); break;
            case waker_protocol::kSignal:
                if (noted.counter)
                    live_posix::signalCounter(noted.counter);
                break;
            case waker_protocol::kClosed: forget(); break;
            default: break;
            }
        }
    }
    removeLeftBehind();
    close(fd);
    return 0;
}
