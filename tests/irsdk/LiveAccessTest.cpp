// The live layer against a writer in the test: attaching, synchronising,
// choosing the newest slot, resynchronising, the connection state and its
// clock, and headers that point outside the shared memory.
#include <chrono>
#include <climits>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "live_fixture.h"

namespace {

// Where the reader's view of an object of `size` bytes ends: at the size
// itself on POSIX, which maps what fstat reports; at the end of the last
// 4 KiB page on Windows, whose views cover whole pages.
size_t viewEnd(size_t size)
{
#ifdef _WIN32
    return (size + 4095) / 4096 * 4096;
#else
    return size;
#endif
}

class LiveAccess : public LiveTest {
protected:
    // Attaches and takes note of the newest tick, as the first call does.
    void attachAndSync()
    {
        ASSERT_TRUE(irsdk_startup());
        std::vector<char> buf(layout->recordLength());
        EXPECT_FALSE(irsdk_getNewData(buf.data(), static_cast<int>(buf.size())));
    }

    // Next record handed out, or -1 when getNewData says there is none.
    int take()
    {
        std::vector<char> buf(layout->recordLength());
        if (!irsdk_getNewData(buf.data(), static_cast<int>(buf.size())))
            return -1;
        return seqOf(buf);
    }
};

TEST_F(LiveAccess, NothingPublishedMeansNothingAttached)
{
    EXPECT_FALSE(irsdk_startup());
    char buf[16];
    EXPECT_FALSE(irsdk_getNewData(buf));
    EXPECT_FALSE(irsdk_isConnected());
    EXPECT_EQ(irsdk_getHeader(), nullptr);
    EXPECT_EQ(irsdk_getData(0), nullptr);
    EXPECT_EQ(irsdk_getSessionInfoStr(), nullptr);
    EXPECT_EQ(irsdk_getVarHeaderPtr(), nullptr);
    EXPECT_EQ(irsdk_varNameToIndex("Seq"), -1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(irsdk_waitForDataReady(0, buf));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(LiveAccess, FirstCallOnlySynchronisesThenEachNewTickOnce)
{
    openLayout();
    publisher.publish(record(10).data());
    attachAndSync();
    EXPECT_EQ(take(), -1) << "the same tick again";
    publisher.publish(record(11).data());
    EXPECT_EQ(take(), 11);
    EXPECT_EQ(take(), -1);
    publisher.publish(record(12).data());
    publisher.publish(record(13).data());
    EXPECT_EQ(take(), 13) << "the newest, skipping 12";
}

TEST_F(LiveAccess, NewestSlotWinsAndTiesKeepTheLowerSlot)
{
    struct Case {
        int bufferCount;
        int32_t ticks[4];
        int expectedSlot;
    };
    const Case cases[] = {
        {4, {5, 9, 7, 8}, 1},
        {4, {5, 9, 9, 8}, 1},
        {4, {9, 9, 9, 9}, 0},
        {4, {1, 2, 3, 40}, 3},
        {3, {1, 2, 3, 40}, 2},        // slot 3 is not in use
        {1, {1, 50, 60, 70}, 0},      // only slot 0
        {7, {1, 2, 3, 4}, 3},         // a count above four scans the four slots
        {4, {-5, LIVE_STALE_TICK, -2, -9}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bufferCount " << c.bufferCount << " ticks " << c.ticks[0] << ","
                                        << c.ticks[1] << "," << c.ticks[2] << "," << c.ticks[3]);
        openLayout(4);
        publisher.header()->bufferCount = c.bufferCount;
        attachAndSync(); // every slot stale: synchronised to the stale tick
        for (int slot = 0; slot < 4; ++slot)
            publisher.writeSlot(slot, c.ticks[slot], record(100 + slot).data());
        EXPECT_EQ(take(), 100 + c.expectedSlot);
        irsdk_shutdown();
        publisher.close();
    }
}

TEST_F(LiveAccess, RestartWithLowerTicksResynchronisesOnce)
{
    openLayout();
    for (int i = 0; i < 5; ++i)
        publisher.publish(record(i).data());
    attachAndSync();
    publisher.publish(record(5).data());
    EXPECT_EQ(take(), 5);

    // The simulator restarts its counter.
    for (int slot = 0; slot < 3; ++slot)
        publisher.writeSlot(slot, LIVE_STALE_TICK, record(0).data());
    publisher.writeSlot(0, 0, record(20).data());
    EXPECT_EQ(take(), -1) << "lower tick: only resynchronises";
    publisher.writeSlot(1, 1, record(21).data());
    EXPECT_EQ(take(), 21);
}

TEST_F(LiveAccess, ClearedConnectedBitStopsDeliveryAndForcesResync)
{
    openLayout();
    publisher.publish(record(1).data());
    attachAndSync();
    publisher.publish(record(2).data());
    EXPECT_EQ(take(), 2);
    EXPECT_TRUE(irsdk_isConnected());

    publisher.setConnected(false);
    publisher.publish(record(3).data());
    EXPECT_EQ(take(), -1);
    EXPECT_FALSE(irsdk_isConnected());

    publisher.setConnected(true);
    EXPECT_EQ(take(), -1) << "first call after the bit returns synchronises";
    publisher.publish(record(4).data());
    EXPECT_EQ(take(), 4);
}

TEST_F(LiveAccess, SilenceOfThirtySecondsDisconnects)
{
    openLayout();
    publisher.publish(record(1).data());
    attachAndSync();
    EXPECT_FALSE(irsdk_isConnected()) << "no record handed out yet";
    publisher.publish(record(2).data());
    EXPECT_EQ(take(), 2);
    const time_t delivered = liveTestNow;
    liveTestNow = delivered + 29;
    EXPECT_TRUE(irsdk_isConnected());
    EXPECT_EQ(take(), -1) << "the same tick does not refresh the time";
    liveTestNow = delivered + 30;
    EXPECT_FALSE(irsdk_isConnected());
    publisher.publish(record(3).data());
    EXPECT_EQ(take(), 3);
    EXPECT_TRUE(irsdk_isConnected());
}

TEST_F(LiveAccess, NullDestinationTakesTheTickWithoutCopying)
{
    openLayout();
    publisher.publish(record(1).data());
    attachAndSync();
    publisher.publish(record(2).data());
    EXPECT_TRUE(irsdk_getNewData(nullptr));
    EXPECT_EQ(take(), -1);
}

TEST_F(LiveAccess, DestinationOfAnotherLengthIsNotWritten)
{
    openLayout();
    publisher.publish(record(1).data());
    attachAndSync();
    publisher.publish(record(2).data());
    std::vector<char> small(publisher.recordLength() - 4, 'x');
    EXPECT_TRUE(irsdk_getNewData(small.data(), static_cast<int>(small.size())));
    EXPECT_EQ(small, std::vector<char>(small.size(), 'x'));
}

TEST_F(LiveAccess, WaitReturnsOnTheWritersSignal)
{
    openLayout();
    publisher.publish(record(1).data());
    attachAndSync();
    std::vector<char> buf(publisher.recordLength());
    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        publisher.publish(record(2).data());
    });
    bool got = false;
    for (int i = 0; i < 20 && !got; ++i)
        got = irsdk_waitForDataReady(5000, buf.data(), static_cast<int>(buf.size()));
    writer.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(seqOf(buf), 2);
}

TEST_F(LiveAccess, AccessorsAndLookups)
{
    openLayout(3, {"Seq", "Speed", "LapDistPct"});
    attachAndSync();
    const irsdk_TelemetryHeader* h = irsdk_getHeader();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->varCount, 3);
    EXPECT_STREQ(irsdk_getSessionInfoStr(), "WeekendInfo:\n TrackName: testring\n");
    EXPECT_EQ(irsdk_getVarHeaderEntry(1), irsdk_getVarHeaderPtr() + 1);
    EXPECT_EQ(irsdk_getVarHeaderEntry(3), nullptr);
    EXPECT_EQ(irsdk_getVarHeaderEntry(-1), nullptr);
    EXPECT_EQ(irsdk_varNameToIndex("LapDistPct"), 2);
    EXPECT_EQ(irsdk_varNameToIndex("LapDist"), -1);
    EXPECT_EQ(irsdk_varNameToIndex(nullptr), -1);
    EXPECT_EQ(irsdk_varNameToOffset("Speed"), layout->descriptor(1).dataOffset);
    EXPECT_EQ(irsdk_varNameToOffset("Nope"), -1);
    EXPECT_EQ(irsdk_getData(0), reinterpret_cast<const char*>(h) + h->bufferSlots[0].recordOffset);
    EXPECT_EQ(irsdk_getData(4), nullptr);
}

// Each row corrupts the header the way a broken or half-written writer might;
// the reader must answer as for a missing piece and never read outside the view.
TEST_F(LiveAccess, HostileHeadersNeverLeadOutsideTheView)
{
    struct Case {
        const char* what;
        void (*corrupt)(irsdk_TelemetryHeader& h, int32_t size);
        bool record, table, text;
        bool slot; // irsdk_getData(0) points at a record inside the view
    };
    const Case cases[] = {
        {"record offset past the end", [](irsdk_TelemetryHeader& h, int32_t size) {
             for (auto& s : h.bufferSlots) s.recordOffset = size - 4; }, false, true, true, false},
        {"negative record offset", [](irsdk_TelemetryHeader& h, int32_t) {
             for (auto& s : h.bufferSlots) s.recordOffset = -64; }, false, true, true, false},
        {"huge record length", [](irsdk_TelemetryHeader& h, int32_t) { h.recordLength = INT_MAX; }, false, true, true, false},
        {"negative record length", [](irsdk_TelemetryHeader& h, int32_t) { h.recordLength = -8; }, false, true, true, false},
        {"no buffers", [](irsdk_TelemetryHeader& h, int32_t) { h.bufferCount = 0; }, false, true, true, true},
        {"negative buffer count", [](irsdk_TelemetryHeader& h, int32_t) { h.bufferCount = -3; }, false, true, true, true},
        {"table past the end", [](irsdk_TelemetryHeader& h, int32_t size) { h.varTableOffset = size - 100; }, true, false, true, true},
        {"too many variables", [](irsdk_TelemetryHeader& h, int32_t) { h.varCount = 1000000; }, true, false, true, true},
        {"negative variable count", [](irsdk_TelemetryHeader& h, int32_t) { h.varCount = -1; }, true, false, true, true},
        {"negative table offset", [](irsdk_TelemetryHeader& h, int32_t) { h.varTableOffset = -144; }, true, false, true, true},
        {"text past the end", [](irsdk_TelemetryHeader& h, int32_t size) { h.sessionTextOffset = size; }, true, true, false, true},
        {"negative text offset", [](irsdk_TelemetryHeader& h, int32_t) { h.sessionTextOffset = -1; }, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        openLayout(4);
        publisher.publish(record(1).data());
        attachAndSync();
        irsdk_TelemetryHeader& h = *publisher.header();
        c.corrupt(h, static_cast<int32_t>(viewEnd(publisher.size())));
        for (int i = 0; i < 4; ++i)
            publisher.writeSlot(i, 10 + i, record(10 + i).data());
        std::vector<char> buf(publisher.recordLength());
        char raw[4096];
        EXPECT_EQ(irsdk_getNewData(buf.data(), static_cast<int>(buf.size())), c.record);
        EXPECT_EQ(irsdk_getNewData(raw), false);
        EXPECT_EQ(irsdk_getData(0) != nullptr, c.slot);
        EXPECT_EQ(irsdk_getVarHeaderPtr() != nullptr, c.table);
        EXPECT_EQ(irsdk_getVarHeaderEntry(0) != nullptr, c.table);
        EXPECT_EQ(irsdk_varNameToIndex("Gear"), c.table ? 2 : -1);
        EXPECT_EQ(irsdk_getSessionInfoStr() != nullptr, c.text);
        irsdk_shutdown();
        publisher.close();
    }
}

// A record or a table that ends on the view's last byte lies inside it. The
// view is laid out by hand at exactly its size: header, text, then the table
// and three slots of 32-byte records (a publisher that fits its slots
// exactly lays them out so), once with the records last and once the table.
TEST_F(LiveAccess, RecordsAndTablesEndingOnTheLastByteAreInside)
{
    const int recordLength = 32, textAt = 112, textLength = 48, recordsBytes = 3 * recordLength;
    for (const bool tableLast : {false, true}) {
        SCOPED_TRACE(tableLast ? "the table last" : "the records last");
        const int tableAt = textAt + textLength + (tableLast ? recordsBytes : 0);
        const int recordsAt = textAt + textLength + (tableLast ? 0 : 144);
        std::vector<char> view(static_cast<size_t>(textAt + textLength + 144 + recordsBytes));
        irsdk_TelemetryHeader* h = reinterpret_cast<irsdk_TelemetryHeader*>(view.data());
        *h = irsdk_TelemetryHeader{0, irsdk_statusConnected, 0, 0, textLength, textAt, 1, tableAt, 3, recordLength,
                                   {0, 0}, {}};
        for (int slot = 0; slot < 3; ++slot)
            h->bufferSlots[slot] = {slot, recordsAt + slot * recordLength, {0, 0}};
        irsdk_VarDescriptor* seq = reinterpret_cast<irsdk_VarDescriptor*>(view.data() + tableAt);
        *seq = irsdk_VarDescriptor{irsdk_int, 0, 1, 0, "Seq", {}};
        view[recordsAt + 2 * recordLength] = 77;

        irsdk_attachBufferForTesting(view.data(), view.size());
        std::vector<char> out(recordLength);
        EXPECT_FALSE(irsdk_getNewData(out.data())) << "the first call only synchronises";
        h->bufferSlots[2].tick = 5; // the last slot's record is new
        ASSERT_TRUE(irsdk_getNewData(out.data()));
        EXPECT_EQ(out[0], 77);
        EXPECT_EQ(irsdk_getData(2), view.data() + recordsAt + 2 * recordLength);
        EXPECT_NE(irsdk_getVarHeaderPtr(), nullptr);
        EXPECT_EQ(irsdk_varNameToIndex("Seq"), 0);
        irsdk_shutdown();
    }
}

TEST_F(LiveAccess, SessionTextWithoutTerminatorInTheViewIsNotHandedOut)
{
    openLayout();
    attachAndSync();
    char* mem = publisher.memory();
    const size_t size = viewEnd(publisher.size());
    std::memset(mem + size - 32, 'a', 32);
    publisher.header()->sessionTextOffset = static_cast<int32_t>(size - 32);
    EXPECT_EQ(irsdk_getSessionInfoStr(), nullptr);
    mem[size - 1] = '\0';
    EXPECT_NE(irsdk_getSessionInfoStr(), nullptr);
}

#ifndef _WIN32
// A POSIX object can exist before it has a size; a Windows file mapping is
// sized when it is created.
TEST_F(LiveAccess, ObjectStillBeingSizedIsAttachedOnceItHoldsTheHeader)
{
    // A writer that has created its objects but not yet sized the telemetry.
    const std::string prefix = "/livetest" + std::to_string(getpid()) + "_";
    const std::string memory = prefix + "IRSDKMemMapFileName", event = prefix + "IRSDKDataValidEvent";
    const int fd = shm_open(memory.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const int efd = shm_open(event.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_GE(efd, 0);
    ASSERT_EQ(ftruncate(efd, 4), 0);
    ASSERT_EQ(ftruncate(fd, 50), 0);
    EXPECT_FALSE(irsdk_startup());
    EXPECT_EQ(irsdk_getHeader(), nullptr);

    // Sized now, its header still all zeros: attached, nothing to hand out.
    ASSERT_EQ(ftruncate(fd, 4096), 0);
    EXPECT_TRUE(irsdk_startup());
    EXPECT_NE(irsdk_getHeader(), nullptr);
    EXPECT_EQ(irsdk_getVarHeaderPtr(), nullptr);
    EXPECT_EQ(irsdk_getData(0), nullptr);
    EXPECT_FALSE(irsdk_getNewData(nullptr));
    close(fd);
    close(efd);
    shm_unlink(memory.c_str());
    shm_unlink(event.c_str());
}
#endif

TEST_F(LiveAccess, ReplacedObjectsAreFoundAfterTheWriterRestarts)
{
    // Stopped cleanly (bit cleared, names removed) or killed (bit left set,
    // objects left behind): either way a new writer's objects under the same
    // names are found once the clock moves on.
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "stopped");
        openLayout();
        publisher.publish(record(1).data());
        attachAndSync();
        publisher.publish(record(2).data());
        EXPECT_EQ(take(), 2);

        if (!killed)
            publisher.close();
        std::vector<irsdk_VarDescriptor> vars;
        for (int i = 0; i < layout->varCount(); ++i)
            vars.push_back(layout->descriptor(i));
        LivePublisher restarted;
        ASSERT_TRUE(restarted.open("", vars, layout->recordLength(), 3));
        restarted.setConnected(true);

        EXPECT_EQ(take(), -1);
        liveTestNow += 1;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(take(), -1) << "detach, attach, synchronise";
        restarted.writeSlot(0, 1000, record(51).data());
        EXPECT_EQ(take(), 51);
        irsdk_shutdown();
        publisher.close();
    }
}

#ifndef _WIN32
// Windows registers the simulator's broadcast message; elsewhere there is none.
TEST(LiveCommands, BroadcastHasNoWindowMessagesHereAndCarNumbersPad)
{
    EXPECT_EQ(irsdk_getBroadcastMsgID(), 0u);
    irsdk_broadcastMsg(static_cast<irsdk_BroadcastMsg>(3), 1, 2); // nothing to send, nothing breaks
    irsdk_broadcastMsg(static_cast<irsdk_BroadcastMsg>(3), 1, 1.5f);
    irsdk_broadcastMsg(static_cast<irsdk_BroadcastMsg>(3), 1, 2, 3);
    const int cases[][3] = {{5, 2, 3005}, {42, 0, 42}, {100, 1, 4100}, {7, 0, 7}, {10, 1, 3010}, {99, 3, 5099}};
    for (const auto& c : cases)
        EXPECT_EQ(irsdk_padCarNum(c[0], c[1]), c[2]) << c[0] << "," << c[1];
}
#endif

} // namespace
