// The bridge's view of the native host's /dev/shm from a Windows program under
// Wine: the POSIX objects of the live scheme as files under Z:\dev\shm, mapped
// shared so that native readers see every write at once, and the native
// waker that wakes those readers (waker_protocol.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wine_shm {

// Whether Z:\dev\shm is there: the program runs under Wine on Linux.
bool available();

// A file under Z:\dev\shm mapped writable.
struct MappedFile {
    void* file = nullptr;
    void* mapping = nullptr;
    char* view = nullptr;
    size_t size = 0;
    std::string path;
    unsigned long volume = 0, indexHigh = 0, indexLow = 0; // which file it is
};

// Creates a fresh zero-filled file of size bytes for the shm name (as
// live_posix::objectName gives it) and maps
// it; a file left under the name is replaced. False and *error on failure.
bool create(const std::string& name, size_t size, MappedFile* out, std::string* error);
// Unmaps and closes it, and removes its name while the name is still its own.
void remove(MappedFile* file);

// Starts the waker found beside this program and opens the channel to it;
// false and *error when it cannot (the bridge then runs without it: native
// readers find each record when their wait times out).
bool startWaker(std::string* error);
// The objects under both names were just created (waker_protocol::kOpened).
// counter is the event's counter word, which the waker increments.
void announceOpened(const uint32_t* counter);
// Asks the waker to signal the readers, unless it has fallen behind (it died
// or hangs): then nothing is written, and one line says so.
void wake();
// The objects were removed (waker_protocol::kClosed).
void announceClosed();
// Closes the channel, which ends the waker.
void stopWaker();

} // namespace wine_shm
