// How the bridge (a Windows program under Wine) and its waker (a native Linux
// program it starts) talk, stated once for both ends.
//
// Windows code cannot make the futex call that wakes the native readers (a
// raw Linux system call from Windows code is trapped by newer Wine), so a
// small native program makes it. The bridge starts it as
//     telemetry-bridge-waker FIFO TELEMETRY EVENT
// with FIFO a path under /dev/shm that the waker creates, and TELEMETRY and
// EVENT the shm names of the two POSIX objects ("/<prefix>IRSDKMemMapFileName",
// "/<prefix>IRSDKDataValidEvent"). The bridge opens the FIFO through Wine's
// Z: drive for reading and writing (so that its open cannot block) and writes
// one byte per message:
// - kHello once, first: the FIFO is open; the waker removes its name.
// - kOpened after the bridge created fresh objects under both names: the
//   waker maps the event's counter and notes which objects they are.
// - kSignal after each record (and after the connected bit is cleared): the
//   waker increments the counter and wakes every futex waiter on it, step 4
//   of the POSIX scheme. The counter therefore counts the signals the waker
//   has made, which tells the bridge how many bytes it has not read yet.
// - kClosed after the bridge removed the objects: the waker forgets them.
// End of file (every handle of the bridge closed: it ended, was killed, or
// its Wine session ended) ends the waker. Objects still noted then are the
// bridge's, left behind: the waker clears their connected bit, signals once
// more and removes both names, as a publisher that stops does. The waker
// ignores SIGINT, SIGHUP and SIGTERM, which reach it with its bridge in a
// process group: its end always comes through the FIFO.
#pragma once

#include <cstdint>

namespace waker_protocol {

constexpr char kHello = 'h';
constexpr char kOpened = 'o';
constexpr char kSignal = 's';
constexpr char kClosed = 'c';

// The waker gives up when the bridge has not opened the FIFO by then.
constexpr int kHelloTimeoutMs = 30000;

// Signals the bridge may have written that the waker has not made yet before
// it stops writing more: far below a pipe's 64 KiB, so that a waker that
// died or hangs never blocks the bridge in a full pipe.
constexpr uint32_t kMaxUnread = 1024;

// The name of the waker's program, beside the bridge's.
constexpr const char* kProgramName = "telemetry-bridge-waker";

} // namespace waker_protocol
