// The bridge's mirror on Linux: its source is a buffer laid out as a
// simulator lays out its shared memory (attached to the live layer as if it
// were mapped), its copy the real POSIX objects under names private to the
// test, read back by mapping them as a native reader does.
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "irsdk_platform.h"
#include "irsdk_utils.h"
#include "irsdk_utils_internal.h"
#include "live_publisher.h"
#include "telemetry_mirror.h"

namespace {

const int kRecordLength = 64;
const int kSlots = 3;
const int kTextLength = 256;

// A simulator's memory: header, session text, two variables, three slots;
// or header, slots, text and the variables last.
struct Source {
    std::vector<char> bytes;

    explicit Source(bool tableLast = false)
    {
        const int slots = kSlots * kRecordLength, tableBytes = 2 * 144;
        const int text = tableLast ? 128 + slots : 128;
        const int table = text + kTextLength;
        const int records = tableLast ? 128 : table + tableBytes;
        bytes.assign(static_cast<size_t>(tableLast ? table + tableBytes : records + slots), 0);
        irsdk_TelemetryHeader& h = header();
        h.statusFlags = irsdk_statusConnected;
        h.sessionTextOffset = text;
        h.sessionTextLength = kTextLength;
        h.varCount = 2;
        h.varTableOffset = table;
        h.bufferCount = kSlots;
        h.recordLength = kRecordLength;
        for (int i = 0; i < IRSDK_MAX_BUFS; ++i) {
            h.bufferSlots[i].tick = LIVE_STALE_TICK;
            h.bufferSlots[i].recordOffset = i < kSlots ? records + i * kRecordLength : 0;
        }
        for (int v = 0; v < 2; ++v) {
            irsdk_VarDescriptor d{};
            d.typeCode = irsdk_int;
            d.dataOffset = 4 * v;
            d.elementCount = 1;
            std::snprintf(d.name, sizeof d.name, "Var%d", v);
            std::memcpy(&bytes[static_cast<size_t>(table + 144 * v)], &d, sizeof d);
        }
        setText("WeekendInfo:\n TrackName: first\n", 1);
    }

    irsdk_TelemetryHeader& header() { return *reinterpret_cast<irsdk_TelemetryHeader*>(bytes.data()); }

    void setText(const std::string& text, int update)
    {
        std::memset(&bytes[static_cast<size_t>(header().sessionTextOffset)], 0, kTextLength);
        std::memcpy(&bytes[static_cast<size_t>(header().sessionTextOffset)], text.data(), text.size());
        header().sessionTextUpdate = update;
    }

    // A record whose every byte tells its tick.
    static std::vector<char> recordOf(int tick) { return std::vector<char>(kRecordLength, static_cast<char>(tick)); }

    void write(int tick)
    {
        const int slot = ((tick % kSlots) + kSlots) % kSlots;
        const std::vector<char> r = recordOf(tick);
        std::memcpy(&bytes[static_cast<size_t>(header().bufferSlots[slot].recordOffset)], r.data(), r.size());
        header().bufferSlots[slot].tick = tick;
    }

    void attach() { irsdk_attachBufferForTesting(bytes.data(), bytes.size()); }
};

// The copy as a native reader maps it: the whole object, read-only.
struct Copy {
    int fd = -1;
    const char* view = nullptr;
    size_t size = 0;
    ino_t inode = 0;

    explicit Copy(const char* layoutName)
    {
        fd = shm_open(irsdk_platform::objectName(layoutName).c_str(), O_RDONLY, 0);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0)
            return;
        size = static_cast<size_t>(st.st_size);
        inode = st.st_ino;
        void* v = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        view = v == MAP_FAILED ? nullptr : static_cast<const char*>(v);
    }
    ~Copy()
    {
        if (view)
            munmap(const_cast<char*>(view), size);
        if (fd >= 0)
            close(fd);
    }
    bool exists() const { return view != nullptr; }
    const irsdk_TelemetryHeader& header() const { return *reinterpret_cast<const irsdk_TelemetryHeader*>(view); }
    bool connected() const { return (header().statusFlags & irsdk_statusConnected) != 0; }
    // The newest record's tick; INT_MIN when every slot is stale.
    int newestTick(int* slot = nullptr) const
    {
        int best = INT_MIN;
        for (int i = 0; i < header().bufferCount; ++i) {
            if (header().bufferSlots[i].tick > best) {
                best = header().bufferSlots[i].tick;
                if (slot)
                    *slot = i;
            }
        }
        return best;
    }
    std::vector<char> record(int slot) const
    {
        const char* at = view + header().bufferSlots[slot].recordOffset;
        return std::vector<char>(at, at + header().recordLength);
    }
    std::string text() const { return view + header().sessionTextOffset; }
};

uint32_t eventCounter()
{
    Copy event(IRSDK_DATAVALIDEVENTNAME);
    return event.exists() ? *reinterpret_cast<const uint32_t*>(event.view) : 0;
}

class TelemetryMirrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string prefix = "mirrortest" + std::to_string(getpid()) + "_";
        setenv("IRSDK_SHM_PREFIX", prefix.c_str(), 1);
        source.write(5);
        source.attach();
    }
    void TearDown() override { mirror.close(); }

    Source source;
    TelemetryMirror mirror;
};

TEST_F(TelemetryMirrorTest, CopiesTheLayoutOnceAndOnlyTheNewestRecordInWriteOrder)
{
    ASSERT_TRUE(mirror.connect()) << mirror.problem();
    Copy copy(IRSDK_MEMMAPFILENAME);
    ASSERT_TRUE(copy.exists());
    EXPECT_EQ(copy.size, source.bytes.size()) << "the layout's extent";
    EXPECT_TRUE(copy.connected());
    EXPECT_EQ(copy.newestTick(), LIVE_STALE_TICK) << "no record before the source's next one";
    const irsdk_TelemetryHeader& h = copy.header();
    EXPECT_EQ(std::memcmp(&h.sessionTextLength, &source.header().sessionTextLength,
                  offsetof(irsdk_TelemetryHeader, bufferSlots) - offsetof(irsdk_TelemetryHeader, sessionTextLength)), 0);
    for (int i = 0; i < IRSDK_MAX_BUFS; ++i)
        EXPECT_EQ(h.bufferSlots[i].recordOffset, source.header().bufferSlots[i].recordOffset);
    EXPECT_EQ(std::memcmp(copy.view + h.varTableOffset, &source.bytes[static_cast<size_t>(h.varTableOffset)], 2 * 144), 0);
    EXPECT_EQ(copy.text(), "WeekendInfo:\n TrackName: first\n");
    EXPECT_EQ(h.sessionTextUpdate, 1);

    mirror.pump(0); // the live layer hands out only records newer than the one it found
    const uint32_t signals = eventCounter();
    source.write(6);
    mirror.pump(0);
    int slot = -1;
    EXPECT_EQ(copy.newestTick(&slot), 6);
    EXPECT_EQ(copy.record(slot), Source::recordOf(6));
    EXPECT_EQ(eventCounter(), signals + 1) << "one signal per record";

    // Two records between passes: only the newest is copied, into the next slot.
    source.write(7);
    source.write(8);
    mirror.pump(0);
    int newest = -1;
    EXPECT_EQ(copy.newestTick(&newest), 8);
    EXPECT_EQ(copy.record(newest), Source::recordOf(8));
    EXPECT_EQ(copy.header().bufferSlots[slot].tick, 6) << "the slot of tick 6 was not the oldest";
    EXPECT_EQ(mirror.records(), 2);

    // The table is copied once per connection; the text again when its counter moves.
    source.bytes[static_cast<size_t>(h.varTableOffset) + 16] = 'X';
    source.setText("WeekendInfo:\n TrackName: second\n", 2);
    mirror.pump(0);
    EXPECT_EQ(copy.view[h.varTableOffset + 16], 'V');
    EXPECT_EQ(copy.text(), "WeekendInfo:\n TrackName: second\n");
    EXPECT_EQ(copy.header().sessionTextUpdate, 2);
    EXPECT_TRUE(mirror.connected());
}

TEST_F(TelemetryMirrorTest, EndsTheCopyWhenTheSourceRestartsStopsOrChangesItsLayout)
{
    ASSERT_TRUE(mirror.connect());
    mirror.pump(0);
    source.write(10);
    mirror.pump(0);
    Copy first(IRSDK_MEMMAPFILENAME);
    ASSERT_EQ(first.newestTick(), 10);

    // The source started again under the same name: its ticks begin anew.
    for (int i = 0; i < kSlots; ++i)
        source.header().bufferSlots[i].tick = LIVE_STALE_TICK;
    source.write(0);
    mirror.pump(0);
    source.write(1);
    mirror.pump(0);
    EXPECT_FALSE(mirror.connected());
    EXPECT_FALSE(first.connected()) << "readers of the old copy see a disconnect";
    EXPECT_FALSE(Copy(IRSDK_MEMMAPFILENAME).exists()) << "the old copy's name is removed";
    ASSERT_TRUE(mirror.connect());
    Copy second(IRSDK_MEMMAPFILENAME);
    ASSERT_TRUE(second.exists());
    EXPECT_NE(second.inode, first.inode) << "a new session is a new object";
    EXPECT_TRUE(second.connected());
    mirror.pump(0);
    source.write(2);
    mirror.pump(0);
    EXPECT_EQ(second.newestTick(), 2) << "the restarted source's next record did not arrive";

    // A changed layout is a new session too.
    source.header().recordLength = kRecordLength / 2;
    mirror.pump(0);
    EXPECT_FALSE(mirror.connected());
    EXPECT_FALSE(second.connected());
    source.header().recordLength = kRecordLength;
    source.attach();
    ASSERT_TRUE(mirror.connect());

    // The source stops: the copy ends, and a source that is not publishing
    // is not copied (nor held: the live layer lets it go).
    source.header().statusFlags = 0;
    mirror.pump(0);
    EXPECT_FALSE(mirror.connected());
    EXPECT_FALSE(Copy(IRSDK_MEMMAPFILENAME).exists());
    EXPECT_FALSE(Copy(IRSDK_DATAVALIDEVENTNAME).exists());
    source.attach();
    EXPECT_FALSE(mirror.connect());
    EXPECT_EQ(irsdk_getHeader(), nullptr);
    EXPECT_FALSE(Copy(IRSDK_MEMMAPFILENAME).exists());
}

// Headers whose layout cannot be copied: nothing is published, the reason is
// given, and nothing outside the source's exact-size buffer is read.
TEST_F(TelemetryMirrorTest, RefusesLayoutsThatDoNotFitTheSource)
{
    struct Case {
        const char* what;
        void (*spoil)(irsdk_TelemetryHeader&);
        const char* problem;
    };
    const Case cases[] = {
        {"no slots", [](irsdk_TelemetryHeader& h) { h.bufferCount = 0; }, "buffer count"},
        {"five slots", [](irsdk_TelemetryHeader& h) { h.bufferCount = 5; }, "buffer count"},
        {"empty records", [](irsdk_TelemetryHeader& h) { h.recordLength = 0; }, "record length"},
        {"slot past the end", [](irsdk_TelemetryHeader& h) { h.bufferSlots[2].recordOffset += 1; }, "record slot"},
        {"slot in the header", [](irsdk_TelemetryHeader& h) { h.bufferSlots[0].recordOffset = 100; }, "record slot"},
        {"negative slot", [](irsdk_TelemetryHeader& h) { h.bufferSlots[1].recordOffset = INT_MIN; }, "record slot"},
        {"huge record", [](irsdk_TelemetryHeader& h) { h.recordLength = INT_MAX; }, "record slot"},
        {"no variables", [](irsdk_TelemetryHeader& h) { h.varCount = 0; }, "variable table"},
        {"huge table", [](irsdk_TelemetryHeader& h) { h.varCount = INT_MAX; }, "variable table"},
        {"negative table", [](irsdk_TelemetryHeader& h) { h.varTableOffset = -144; }, "variable table"},
        {"no text", [](irsdk_TelemetryHeader& h) { h.sessionTextLength = 0; }, "session text"},
        {"text past the end", [](irsdk_TelemetryHeader& h) { h.sessionTextOffset = INT_MAX; }, "session text"},
    };
    for (const Case& c : cases) {
        Source spoilt;
        c.spoil(spoilt.header());
        spoilt.attach();
        EXPECT_FALSE(mirror.connect()) << c.what;
        EXPECT_NE(mirror.problem().find(c.problem), std::string::npos) << c.what << ": " << mirror.problem();
        EXPECT_FALSE(Copy(IRSDK_MEMMAPFILENAME).exists()) << c.what;
        std::string problem;
        EXPECT_EQ(telemetryLayoutExtent(spoilt.header(), spoilt.bytes.size(), &problem), 0u) << c.what;
    }

    // The variables last: a table that ends with the memory is copied whole,
    // one that ends a descriptor past it is refused.
    Source last(true);
    last.attach();
    ASSERT_TRUE(mirror.connect()) << mirror.problem();
    {
        Copy copy(IRSDK_MEMMAPFILENAME);
        ASSERT_EQ(copy.size, last.bytes.size());
        EXPECT_EQ(std::memcmp(copy.view + copy.header().varTableOffset, &last.bytes[last.bytes.size() - 2 * 144], 2 * 144),
                  0);
    }
    mirror.close();
    Source past(true);
    past.header().varCount = 3;
    past.attach();
    EXPECT_FALSE(mirror.connect());
    EXPECT_NE(mirror.problem().find("variable table"), std::string::npos) << mirror.problem();
}

// A source whose records keep coming stays connected however long it runs;
// one that falls silent for longer than the limit counts as gone.
TEST_F(TelemetryMirrorTest, StaysConnectedWhileRecordsComeAndEndsAfterTheSilenceLimit)
{
    mirror.setSilenceLimit(std::chrono::milliseconds(1000));
    ASSERT_TRUE(mirror.connect());
    mirror.pump(0);
    for (int tick = 6; tick < 36; ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        source.write(tick);
        mirror.pump(0);
        ASSERT_TRUE(mirror.connected()) << "ended at tick " << tick << ", with records coming";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    mirror.pump(0);
    EXPECT_FALSE(mirror.connected());
}

} // namespace
