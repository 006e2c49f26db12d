// POSIX objects of the publisher, the writing end of the scheme in
// live_posix_scheme.h: the shm object of the telemetry and the one holding
// the data-ready event's counter word.
#include "live_publisher.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "live_posix_scheme.h"

namespace live_publisher_platform {

struct Objects {
    std::string memoryName;
    std::string eventName;
    char* view;
    size_t size;
    live_posix::EventCounter* counter;
    ino_t memoryInode;
    ino_t eventInode;
};

namespace {

// Creates a fresh shm object of size bytes and maps it writable. An object
// left behind by a publisher that was killed is replaced.
char* createMapped(const std::string& name, size_t size, ino_t* inode, std::string* error)
{
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        shm_unlink(name.c_str());
        fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    }
    if (fd < 0) {
        *error = "POSIX: cannot create " + name + ": " + std::strerror(errno);
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        *error = "POSIX: cannot size " + name + ": " + std::strerror(errno);
        close(fd);
        shm_unlink(name.c_str());
        return nullptr;
    }
    struct stat st;
    *inode = fstat(fd, &st) == 0 ? st.st_ino : 0;
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) {
        *error = "POSIX: cannot map " + name + ": " + std::strerror(errno);
        shm_unlink(name.c_str());
        return nullptr;
    }
    return static_cast<char*>(view);
}

// Removes a name only while it still belongs to this publisher's object, not
// to one that a newer publisher created after ours was given up for dead.
void unlinkOwn(const std::string& name, ino_t inode)
{
    const int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return;
    struct stat st;
    const bool own = fstat(fd, &st) == 0 && st.st_ino == inode;
    close(fd);
    if (own)
        shm_unlink(name.c_str());
}

} // namespace

// The event comes first so that a reader that finds the telemetry object
// also finds its event.
Objects* create(size_t size, std::string* error)
{
    auto* o = new (std::nothrow) Objects;
    if (!o)
        return nullptr;
    o->memoryName = live_posix::objectName(IRSDK_MEMMAPFILENAME);
    o->eventName = live_posix::objectName(IRSDK_DATAVALIDEVENTNAME);
    o->size = size;
    o->counter = reinterpret_cast<live_posix::EventCounter*>(
        createMapped(o->eventName, live_posix::kEventObjectSize, &o->eventInode, error));
    if (!o->counter) {
        delete o;
        return nullptr;
    }
    o->view = createMapped(o->memoryName, size, &o->memoryInode, error);
    if (!o->view) {
        munmap(o->counter, live_posix::kEventObjectSize);
        shm_unlink(o->eventName.c_str());
        delete o;
        return nullptr;
    }
    return o;
}

char* view(Objects* objects)
{
    return objects->view;
}

void signal(Objects* objects)
{
    live_posix::signalCounter(objects->counter);
}

void destroy(Objects* objects)
{
    munmap(objects->view, objects->size);
    munmap(objects->counter, live_posix::kEventObjectSize);
    unlinkOwn(objects->memoryName, objects->memoryInode);
    unlinkOwn(objects->eventName, objects->eventInode);
    delete objects;
}

} // namespace live_publisher_platform
