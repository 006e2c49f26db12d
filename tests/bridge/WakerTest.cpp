// The bridge's native waker, run as the bridge runs it, with the test in the
// bridge's place at the other end of the FIFO and a native publisher
// creating the objects the bridge would create through Wine.
#include <chrono>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "child_process.h"
#include "irsdk_platform.h"
#include "live_publisher.h"
#include "temp_folder.h"
#include "waker_protocol.h"

namespace {

bool objectExists(const char* layoutName)
{
    const int fd = shm_open(irsdk_platform::objectName(layoutName).c_str(), O_RDONLY, 0);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

class WakerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string prefix = "wakertest" + std::to_string(getpid()) + "_";
        setenv("IRSDK_SHM_PREFIX", prefix.c_str(), 1);
        fifo = "/dev/shm/" + prefix + "channel.fifo";
        waker = std::make_unique<ChildProcess>(folder.path(),
            std::vector<std::string>{WAKER_PATH, fifo, irsdk_platform::objectName(IRSDK_MEMMAPFILENAME),
                irsdk_platform::objectName(IRSDK_DATAVALIDEVENTNAME)});
        for (int i = 0; i < 500 && fd < 0; ++i) {
            fd = open(fifo.c_str(), O_RDWR | O_CLOEXEC); // as the bridge does: never blocks
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GE(fd, 0) << "the waker made no FIFO";
        send(waker_protocol::kHello);
    }

    void TearDown() override
    {
        if (fd >= 0)
            close(fd);
        waker->waitExit(10);
    }

    void send(char byte) { ASSERT_EQ(write(fd, &byte, 1), 1); }

    // Maps the event object read-only, as a reader does.
    const char* mapEvent()
    {
        const int e = shm_open(irsdk_platform::objectName(IRSDK_DATAVALIDEVENTNAME).c_str(), O_RDONLY, 0);
        void* view = mmap(nullptr, 4, PROT_READ, MAP_SHARED, e, 0);
        close(e);
        return view == MAP_FAILED ? nullptr : static_cast<const char*>(view);
    }

    bool waitFor(uint32_t count, const char* event)
    {
        for (int i = 0; i < 500; ++i) {
            if (__atomic_load_n(reinterpret_cast<const uint32_t*>(event), __ATOMIC_ACQUIRE) == count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempFolder folder{"waker"};
    std::string fifo;
    std::unique_ptr<ChildProcess> waker;
    int fd = -1;
};

// A bridge that dies (its FIFO closes) with its objects published: the waker
// signals each record, then clears the connected bit, wakes the readers once
// more and removes both names.
TEST_F(WakerTest, SignalsEachRecordAndRemovesWhatADeadBridgeLeft)
{
    LivePublisher publisher;
    ASSERT_TRUE(publisher.open("", {}, 16, 3));
    publisher.setConnected(true);
    send(waker_protocol::kOpened);
    const char* event = mapEvent();
    ASSERT_NE(event, nullptr);
    for (int i = 0; i < 3; ++i)
        send(waker_protocol::kSignal);
    EXPECT_TRUE(waitFor(3, event)) << "one signal per byte";
    EXPECT_NE(access(fifo.c_str(), F_OK), 0) << "the FIFO's name is removed once both ends are open";

    close(fd);
    fd = -1;
    ASSERT_TRUE(waker->waitExit(10));
    EXPECT_EQ(waker->exitStatus(), 0) << waker->err();
    EXPECT_EQ(publisher.header()->statusFlags & irsdk_statusConnected, 0);
    EXPECT_TRUE(waitFor(4, event)) << "the readers are woken to see the disconnect";
    EXPECT_FALSE(objectExists(IRSDK_MEMMAPFILENAME));
    EXPECT_FALSE(objectExists(IRSDK_DATAVALIDEVENTNAME));
    munmap(const_cast<char*>(event), 4);
}

// Objects the bridge closed itself, and a later publisher's objects under the
// same names, are not the waker's to remove.
TEST_F(WakerTest, LeavesAloneWhatTheBridgeClosedAndWhatOthersCreated)
{
    // Each announcement is followed by a signal, whose arrival shows that
    // the waker has taken the announcement.
    for (bool announceClosed : {true, false}) {
        LivePublisher bridged;
        ASSERT_TRUE(bridged.open("", {}, 16, 3));
        send(waker_protocol::kOpened);
        send(waker_protocol::kSignal);
        const char* event = mapEvent();
        ASSERT_NE(event, nullptr);
        EXPECT_TRUE(waitFor(1, event));
        munmap(const_cast<char*>(event), 4);
        bridged.close();
        if (announceClosed)
            send(waker_protocol::kClosed);
    }
    LivePublisher other;
    ASSERT_TRUE(other.open("", {}, 16, 3));
    other.setConnected(true);

    close(fd);
    fd = -1;
    ASSERT_TRUE(waker->waitExit(10));
    EXPECT_EQ(waker->exitStatus(), 0) << waker->err();
    EXPECT_TRUE(objectExists(IRSDK_MEMMAPFILENAME));
    EXPECT_TRUE(objectExists(IRSDK_DATAVALIDEVENTNAME));
    EXPECT_NE(other.header()->statusFlags & irsdk_statusConnected, 0);
}

} // namespace
