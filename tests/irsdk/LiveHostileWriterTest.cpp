// The live reader against a hostile writer thread that works on the real
// POSIX objects while the reader uses them: it shrinks either object under
// the reader's mapping, takes the terminator away from the session text
// while lookups run, and breaks the variable table mid-run. The reader must
// never die or read outside what is mapped, and must come back to a sound
// writer that takes the names over afterwards.
#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "irsdk_platform.h"
#include "live_fixture.h"

namespace {

// A session text long enough to push the records a few pages past the
// header, so that shrinking the object takes whole pages of them away.
std::string longSession()
{
    std::string text = "WeekendInfo:\n TrackName: testring\nPadding:\n";
    while (text.size() < 12000)
        text += " Line: " + std::string(60, 'x') + "\n";
    return text;
}

// Resizes a named object behind its publisher's back.
void resizeObject(const char* layoutName, off_t size)
{
    const int fd = shm_open(irsdk_platform::objectName(layoutName).c_str(), O_RDWR | O_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, size), 0);
    close(fd);
}

class LiveHostileWriter : public LiveTest {
protected:
    irsdkClient& client = irsdkClient::instance();

    // Everything a reader of the live layer does in one pass of a program.
    void readerPass()
    {
        client.waitForData(1);
        client.getVarInt("Seq");
        client.getVarFloat("Speed");
        char value[64];
        client.getSessionStrVal("WeekendInfo:TrackName:", value, 63);
        client.isConnected();
        irsdk_isConnected();
        if (const char* text = irsdk_getSessionInfoStr()) {
            EXPECT_LT(std::strlen(text), publisher.size());
        }
        irsdk_varNameToIndex("Gear");
    }

    // Runs reader passes until Seq reads at least seq, moving the clock so
    // that replaced objects are looked for; false when it never does.
    bool readerReaches(int seq, LivePublisher& writer)
    {
        for (int i = 0; i < 3000; ++i) {
            writer.publish(record(seq + i).data());
            readerPass();
            liveTestNow += 1;
            if (client.isConnected() && client.getVarInt("Seq") >= seq)
                return true;
        }
        return false;
    }
};

// Each row is one hostile act, done by the writer thread while the reader
// runs its passes; afterwards a sound writer takes the names over.
TEST_F(LiveHostileWriter, ReaderSurvivesEveryActAndReturnsToASoundWriter)
{
    struct Case {
        const char* what;
        void (*act)(LivePublisher& p, const std::atomic<bool>& stop);
    };
    const Case cases[] = {
        {"telemetry object shrunk to nothing", [](LivePublisher&, const std::atomic<bool>&) {
             resizeObject(IRSDK_MEMMAPFILENAME, 0); }},
        {"telemetry object shrunk below its text and records", [](LivePublisher&, const std::atomic<bool>&) {
             resizeObject(IRSDK_MEMMAPFILENAME, 8192); }},
        {"telemetry object shrunk below its header", [](LivePublisher&, const std::atomic<bool>&) {
             resizeObject(IRSDK_MEMMAPFILENAME, 50); }},
        {"event object shrunk to nothing", [](LivePublisher& p, const std::atomic<bool>& stop) {
             resizeObject(IRSDK_DATAVALIDEVENTNAME, 0);
             std::vector<char> rec(p.recordLength());
             while (!stop) p.writeSlot(0, p.lastTick() + 1000, rec.data()); }},
        {"session text runs to the end and loses its terminator while read", [](LivePublisher& p, const std::atomic<bool>& stop) {
             char* mem = p.memory();
             const size_t size = p.size();
             std::memset(mem + size - 4096, 'a', 4096);
             std::memcpy(mem + size - 4096, "WeekendInfo:\n TrackName: ", 25);
             __atomic_store_n(&p.header()->sessionTextOffset, static_cast<int32_t>(size - 4096), __ATOMIC_RELEASE);
             while (!stop) {
                 __atomic_store_n(mem + size - 1, '\0', __ATOMIC_RELAXED);
                 __atomic_store_n(mem + size - 1, 'a', __ATOMIC_RELAXED);
             } }},
        {"table broken mid-run", [](LivePublisher& p, const std::atomic<bool>& stop) {
             irsdk_TelemetryHeader* h = p.header();
             auto* table = reinterpret_cast<irsdk_VarDescriptor*>(p.memory() + h->varTableOffset);
             const int32_t offset = h->varTableOffset;
             std::vector<char> rec(p.recordLength());
             for (int32_t round = 0; !stop; ++round) {
                 const int32_t hostile[] = {-144, static_cast<int32_t>(p.size()) - 100, INT32_MAX, offset};
                 __atomic_store_n(&h->varTableOffset, hostile[round % 4], __ATOMIC_RELAXED);
                 __atomic_store_n(&h->varCount, round % 3 == 0 ? 1000000 : 3, __ATOMIC_RELAXED);
                 __atomic_store_n(&table[0].dataOffset, round % 2 ? INT32_MAX - 2 : -8, __ATOMIC_RELAXED);
                 __atomic_store_n(&table[0].elementCount, round % 2 ? INT32_MAX : 0, __ATOMIC_RELAXED);
                 p.writeSlot(round % 3, 1000 + round, rec.data());
                 p.signal();
             } }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        openLayout(3, {"Seq", "Speed", "Gear"}, longSession());
        ASSERT_TRUE(readerReaches(1, publisher)) << "connects to the sound layout first";

        std::atomic<bool> stop{false};
        std::thread writer([&] { c.act(publisher, stop); });
        for (int i = 0; i < 300; ++i) {
            readerPass();
            liveTestNow += i % 20 == 0 ? 1 : 0;
        }
        stop = true;
        writer.join();
        for (int i = 0; i < 5; ++i) {
            readerPass();
            liveTestNow += 1;
        }

        // The old objects grow back to their size so the old publisher can
        // clear its bit and remove them; then a sound writer arrives.
        resizeObject(IRSDK_MEMMAPFILENAME, static_cast<off_t>(publisher.size()));
        resizeObject(IRSDK_DATAVALIDEVENTNAME, sizeof(uint32_t));
        publisher.close();
        openLayout(3, {"Seq", "Speed", "Gear"}, longSession());
        EXPECT_TRUE(readerReaches(100000, publisher)) << "reconnects when a sound writer returns";
        char track[32];
        EXPECT_EQ(client.getSessionStrVal("WeekendInfo:TrackName:", track, 31), 1);
        EXPECT_STREQ(track, "testring");
        client.shutdown();
        publisher.close();
    }
}

// A small object left behind under the name (a writer killed while sizing
// it) must not hold the reader once a proper publisher replaces it.
TEST_F(LiveHostileWriter, StaleSmallObjectGivesWayToARealPublisher)
{
    const std::string memory = irsdk_platform::objectName(IRSDK_MEMMAPFILENAME);
    const std::string event = irsdk_platform::objectName(IRSDK_DATAVALIDEVENTNAME);
    const int fd = shm_open(memory.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const int efd = shm_open(event.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_GE(efd, 0);
    ASSERT_EQ(ftruncate(fd, 50), 0);
    ASSERT_EQ(ftruncate(efd, 4), 0);
    close(fd);
    close(efd);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(irsdk_startup());

    openLayout(); // removes the stale names and creates its own
    EXPECT_TRUE(readerReaches(1, publisher));
}

// Before the first record is copied in, the client's buffer reads as zeros.
TEST_F(LiveHostileWriter, FirstConnectionReadsZerosUntilTheFirstRecord)
{
    openLayout();
    publisher.publish(record(5).data());
    EXPECT_FALSE(client.waitForData(0)) << "synchronises";
    publisher.publish(record(6).data());
    EXPECT_FALSE(client.waitForData(0)) << "connects, nothing copied yet";
    ASSERT_TRUE(client.isConnected());
    EXPECT_EQ(client.getVarInt("Seq"), 0);
    EXPECT_EQ(client.getVarInt("Gear"), 0);
}

} // namespace
