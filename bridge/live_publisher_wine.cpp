// The publisher's objects for the bridge: the two POSIX objects of the live
// scheme (live_posix_scheme.h), written by a Windows program under Wine as
// files under Z:\dev\shm, and signalled through the native waker, which makes
// the futex call that Windows code cannot.
#include "live_publisher.h"

#include <new>

#include "live_posix_scheme.h"
#include "wine_shm.h"

namespace live_publisher_platform {

struct Objects {
    wine_shm::MappedFile telemetry;
    wine_shm::MappedFile event;
};

// The event comes first so that a reader that finds the telemetry object
// also finds its event.
Objects* create(size_t size, std::string* error)
{
    auto* o = new (std::nothrow) Objects;
    if (!o)
        return nullptr;
    if (!wine_shm::create(live_posix::objectName(IRSDK_DATAVALIDEVENTNAME), live_posix::kEventObjectSize, &o->event, error)) {
        delete o;
        return nullptr;
    }
    if (!wine_shm::create(live_posix::objectName(IRSDK_MEMMAPFILENAME), size, &o->telemetry, error)) {
        wine_shm::remove(&o->event);
        delete o;
        return nullptr;
    }
    wine_shm::announceOpened(reinterpret_cast<const uint32_t*>(o->event.view));
    return o;
}

char* view(Objects* objects)
{
    return objects->telemetry.view;
}

void signal(Objects*)
{
    wine_shm::wake();
}

void destroy(Objects* objects)
{
    wine_shm::remove(&objects->telemetry);
    wine_shm::remove(&objects->event);
    wine_shm::announceClosed();
    delete objects;
}

} // namespace live_publisher_platform
