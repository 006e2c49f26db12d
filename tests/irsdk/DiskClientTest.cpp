#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "ibt_writer.h"
#include "irsdk_diskclient.h"
#include "temp_folder.h"

// The reader allocates its arrays with nothrow new[]; the largest request
// shows whether a hostile header could make it allocate a huge block.
static size_t largestArrayRequest = 0;

void* operator new[](size_t n, const std::nothrow_t&) noexcept
{
    if (n > largestArrayRequest)
        largestArrayRequest = n;
    try {
        return ::operator new[](n);
    } catch (...) {
        return nullptr;
    }
}

namespace {

bool writeBytes(const std::string& path, const std::vector<char>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void setI32(std::vector<char>& image, size_t offset, int32_t v)
{
    std::memcpy(image.data() + offset, &v, 4);
}

// A small recording of every storage type, with values that depend on the record.
struct Fixture {
    IbtWriter w;
    int time, lap, throttle, flags, onTrack, cars;
    Fixture(int records, const std::string& session = "WeekendInfo:\n TrackName: test_track\n")
    {
        time = w.addVar("SessionTime", irsdk_double);
        lap = w.addVar("Lap", irsdk_int);
        throttle = w.addVar("Throttle", irsdk_float);
        flags = w.addVar("Flags", irsdk_bitField);
        onTrack = w.addVar("IsOnTrack", irsdk_bool);
        cars = w.addVar("CarPct", irsdk_float, 3);
        w.addVar("LapDistPct", irsdk_float);
        w.addVar("LapDist", irsdk_float);
        w.setSessionText(session);
        for (int k = 0; k < records; ++k) {
            w.beginRecord();
            w.set(time, k / 60.0);
            w.setInt(lap, k * 3 - 4);
            w.set(throttle, 0.1 * k);
            w.setInt(flags, 1 << k);
            w.setInt(onTrack, k % 2);
            for (int c = 0; c < 3; ++c)
                w.set(cars, k + c * 0.25, c);
            w.set("LapDistPct", 0.5);
            w.set("LapDist", 700.0);
            w.endRecord();
        }
    }
};

void expectClosedReadsZero(const irsdkDiskClient& r)
{
    EXPECT_FALSE(r.isFileOpen());
    EXPECT_EQ(r.getVarIdx("Lap"), -1);
    EXPECT_EQ(r.getVarType(0), 0);
    EXPECT_EQ(r.getVarCount(0), 0);
    EXPECT_FALSE(r.getVarBool(0));
    EXPECT_EQ(r.getVarInt(0), 0);
    EXPECT_EQ(r.getVarFloat(0), 0.0f);
    EXPECT_EQ(r.getVarDouble(0), 0.0);
    char buf[8] = "x";
    EXPECT_EQ(r.getSessionStrVal("WeekendInfo:TrackName:", buf, 7), 0);
}

TEST(DiskClient, RoundTripThroughTheWriter)
{
    Fixture fx(10);
    const std::string path = tempPath("reader_roundtrip.ibt");
    ASSERT_TRUE(fx.w.writeFile(path));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    EXPECT_TRUE(r.isFileOpen());
    EXPECT_EQ(r.getVarIdx("Lap"), fx.lap);
    EXPECT_EQ(r.getVarIdx("LapDist"), 7); // not LapDistPct
    EXPECT_EQ(r.getVarIdx("LapDistPct"), 6);
    EXPECT_EQ(r.getVarIdx("Missing"), -1);
    EXPECT_EQ(r.getVarIdx(nullptr), -1);
    EXPECT_EQ(r.getVarType(fx.time), irsdk_double);
    EXPECT_EQ(r.getVarCount(fx.cars), 3);

    for (int k = 0; k < 10; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(r.getNextData());
        EXPECT_EQ(r.getVarDouble("SessionTime"), k / 60.0);
        EXPECT_EQ(r.getVarInt("Lap"), k * 3 - 4);
        EXPECT_EQ(r.getVarFloat(fx.throttle), static_cast<float>(0.1 * k));
        EXPECT_EQ(r.getVarInt(fx.flags), 1 << k);
        EXPECT_EQ(r.getVarBool(fx.onTrack), k % 2 == 1);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(r.getVarFloat(fx.cars, c), static_cast<float>(k + c * 0.25));
        EXPECT_EQ(r.getVarFloat(fx.cars, 3), 0.0f);
        EXPECT_EQ(r.getVarFloat(fx.cars, -1), 0.0f);
        EXPECT_EQ(r.getVarFloat("Missing"), 0.0f);
        EXPECT_EQ(r.getVarInt(-1), 0);
        EXPECT_EQ(r.getVarInt(8), 0);
        EXPECT_EQ(r.getVarInt(fx.lap, 1), 0);
    }
    EXPECT_FALSE(r.getNextData());
    EXPECT_FALSE(r.getNextData());
    EXPECT_TRUE(r.isFileOpen()); // the end of the file does not close the reader
    EXPECT_EQ(r.getVarCount(-1), 0);
    // Eight variables: number 8 is one past the last, in every lookup.
    ASSERT_EQ(r.getHeader().varCount, 8);
    EXPECT_EQ(r.getVarDescriptor(8), nullptr);
    EXPECT_EQ(r.getVarType(8) + r.getVarCount(8), 0);
    EXPECT_FALSE(r.isVarReadable(8) || r.getVarBool(8));

    r.closeFile();
    expectClosedReadsZero(r);
    r.closeFile(); // a second close is harmless
    std::remove(path.c_str());
}

TEST(DiskClient, ConversionsOfEveryStorageType)
{
    struct Row {
        int type;
        double stored;
        bool b;
        int i;
        float f;
        double d;
    };
    const float nan = std::nanf("");
    const Row rows[] = {
        {irsdk_char, -1, true, -1, -1.0f, -1.0},
        {irsdk_char, 0, false, 0, 0.0f, 0.0},
        {irsdk_bool, 1, true, 1, 1.0f, 1.0},
        {irsdk_int, -5, true, -5, -5.0f, -5.0},
        {irsdk_int, 16777217, true, 16777217, 16777216.0f, 16777217.0},
        {irsdk_bitField, -2147483648.0, true, INT_MIN, -2147483648.0f, -2147483648.0},
        {irsdk_float, 0.5, false, 0, 0.5f, 0.5},
        {irsdk_float, 1.0, true, 1, 1.0f, 1.0},
        {irsdk_float, -2.75, false, -2, -2.75f, -2.75},
        {irsdk_float, 3e9, true, INT_MIN, 3e9f, static_cast<double>(3e9f)},
        {irsdk_float, nan, false, INT_MIN, nan, nan},
        {irsdk_double, 0.999, false, 0, static_cast<float>(0.999), 0.999},
        {irsdk_double, -7.9, false, -7, static_cast<float>(-7.9), -7.9},
        {irsdk_double, 1e300, true, INT_MIN, INFINITY, 1e300},
        {9, 123, false, 0, 0.0f, 0.0}, // a type no reader converts
    };
    IbtWriter w;
    for (const Row& row : rows) {
        if (row.type == 9) {
            irsdk_VarDescriptor d{};
            d.typeCode = 9;
            d.dataOffset = 0;
            d.elementCount = 1;
            std::strcpy(d.name, "v");
            w.addRawDescriptor(d);
        } else {
            w.addVar("v", row.type);
        }
    }
    w.beginRecord();
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        w.set(static_cast<int>(i), rows[i].stored);
    w.endRecord();
    const std::string path = tempPath("reader_convert.ibt");
    ASSERT_TRUE(w.writeFile(path));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    ASSERT_TRUE(r.getNextData());
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(::testing::Message() << "type " << row.type << " value " << row.stored);
        const int idx = static_cast<int>(i);
        EXPECT_EQ(r.getVarBool(idx), row.b);
        EXPECT_EQ(r.getVarInt(idx), row.i);
        if (std::isnan(row.f)) {
            EXPECT_TRUE(std::isnan(r.getVarFloat(idx)));
            EXPECT_TRUE(std::isnan(r.getVarDouble(idx)));
        } else {
            EXPECT_EQ(r.getVarFloat(idx), row.f);
            EXPECT_EQ(r.getVarDouble(idx), row.d);
        }
    }
    std::remove(path.c_str());
}

// Only the exact name matches: a stored name that fills all 32 bytes without
// a NUL is not a prefix that every longer name matches.
TEST(DiskClient, NamesMatchOnlyExactly)
{
    IbtWriter w;
    irsdk_VarDescriptor d{};
    d.typeCode = irsdk_int;
    d.elementCount = 1;
    std::memset(d.name, 'N', sizeof d.name); // fills all 32 bytes, no NUL
    w.addRawDescriptor(d);
    w.addVar("LapDistPct", irsdk_float);
    w.beginRecord();
    w.setInt(0, 42);
    w.endRecord();
    const std::string path = tempPath("reader_names.ibt");
    ASSERT_TRUE(w.writeFile(path));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    ASSERT_TRUE(r.getNextData());
    const struct {
        std::string name;
        int idx;
    } cases[] = {
        {std::string(32, 'N'), 0},
        {std::string(33, 'N'), -1},
        {std::string(40, 'N'), -1},
        {std::string(31, 'N'), -1},
        {std::string(32, 'N') + "x", -1},
        {"LapDistPct", 1},
        {"LapDist", -1},
        {"LapDistPctX", -1},
        {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(r.getVarIdx(c.name.c_str()), c.idx) << c.name;
    EXPECT_EQ(r.getVarInt(std::string(32, 'N').c_str()), 42);
    EXPECT_EQ(r.getVarInt(std::string(40, 'N').c_str()), 0);
    std::remove(path.c_str());
}

// Descriptors whose entries do not lie wholly inside the record read as zero
// in every getter; their neighbours still read normally.
TEST(DiskClient, EntriesOutsideTheRecordReadAsZero)
{
    struct Desc {
        const char* name;
        int type;
        int offset;
        int count;
        bool inside;
    };
    const Desc descs[] = {
        {"Good", irsdk_float, 0, 1, true},
        {"Array", irsdk_float, 4, 3, true},
        {"PastEnd", irsdk_float, 14, 1, false},
        {"Negative", irsdk_int, -4, 1, false},
        {"HugeCount", irsdk_char, 8, INT_MAX, false},
        {"LongArray", irsdk_float, 4, 4, false},
        {"NegativeCount", irsdk_int, 4, -3, false},
        {"FarOffset", irsdk_double, INT_MAX - 4, 1, false},
    };
    IbtWriter w;
    for (const Desc& x : descs) {
        irsdk_VarDescriptor d{};
        d.typeCode = x.type;
        d.dataOffset = x.offset;
        d.elementCount = x.count;
        std::strcpy(d.name, x.name);
        w.addRawDescriptor(d);
    }
    w.setRecordLength(16);
    w.beginRecord();
    const float values[4] = {1.5f, 2.5f, 3.5f, 4.5f};
    std::memcpy(w.record().data(), values, sizeof values);
    w.endRecord();
    const std::string path = tempPath("reader_outside.ibt");
    ASSERT_TRUE(w.writeFile(path));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    ASSERT_TRUE(r.getNextData());
    EXPECT_EQ(r.getVarFloat("Good"), 1.5f);
    EXPECT_EQ(r.getVarFloat(1, 2), 4.5f);
    for (int i = 0; i < static_cast<int>(sizeof descs / sizeof descs[0]); ++i)
        EXPECT_EQ(r.isVarReadable(i), descs[i].inside) << descs[i].name;
    for (int i = 2; i < static_cast<int>(sizeof descs / sizeof descs[0]); ++i) {
        SCOPED_TRACE(descs[i].name);
        for (int entry : {0, 1, 3, INT_MAX - 1}) {
            EXPECT_FALSE(r.getVarBool(i, entry));
            EXPECT_EQ(r.getVarInt(i, entry), 0);
            EXPECT_EQ(r.getVarFloat(i, entry), 0.0f);
            EXPECT_EQ(r.getVarDouble(i, entry), 0.0);
        }
    }
    std::remove(path.c_str());
}

TEST(DiskClient, SessionText)
{
    // The region's last byte is forced to NUL even when the file has none there.
    Fixture fx(1, "Driver:\n Name: abcdefghi\n");
    std::vector<char> image = fx.w.bytes();
    image[static_cast<size_t>(fx.w.sessionTextOffset() + fx.w.sessionTextLength() - 1)] = 'X';
    const std::string path = tempPath("reader_session.ibt");
    ASSERT_TRUE(writeBytes(path, image));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(path.c_str()));
    EXPECT_STREQ(r.getSessionText(), "Driver:\n Name: abcdefghi\n");

    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(r.getSessionStrVal("Driver:Name:", buf, 5), -9);
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(r.getSessionStrVal("Driver:Name:", buf, 9), 1);
    EXPECT_STREQ(buf, "abcdefghi");
    EXPECT_EQ(r.getSessionStrVal("Driver:Number:", buf, 9), 0);
    EXPECT_EQ(r.getSessionStrVal(nullptr, buf, 9), 0);
    EXPECT_EQ(r.getSessionStrVal("Driver:Name:", nullptr, 9), 0);
    EXPECT_EQ(r.getSessionStrVal("Driver:Name:", buf, 0), 0);
    std::remove(path.c_str());
}

TEST(DiskClient, SteppingThroughRecords)
{
    const std::string path = tempPath("reader_records.ibt");
    struct Case {
        int records;
        int cutBytes;
        int wholeRecords;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{3, 0, 3}, Case{3, 1, 2}, Case{3, 15, 2}}) {
        SCOPED_TRACE(::testing::Message() << c.records << " records, cut " << c.cutBytes);
        Fixture fx(c.records);
        std::vector<char> image = fx.w.bytes();
        image.resize(image.size() - static_cast<size_t>(c.cutBytes));
        ASSERT_TRUE(writeBytes(path, image));
        irsdkDiskClient r;
        ASSERT_TRUE(r.openFile(path.c_str()));
        for (int k = 0; k < c.wholeRecords; ++k) {
            ASSERT_TRUE(r.getNextData());
            EXPECT_EQ(r.getVarInt("Lap"), k * 3 - 4);
        }
        EXPECT_FALSE(r.getNextData());
        EXPECT_FALSE(r.getNextData());
        EXPECT_TRUE(r.isFileOpen());
    }
    std::remove(path.c_str());
}

TEST(DiskClient, ReopeningAndFailedOpens)
{
    Fixture a(3);
    Fixture b(2, "Other: 1\n");
    const std::string pathA = tempPath("reader_reopenA.ibt");
    const std::string pathB = tempPath("reader_reopenB.ibt");
    ASSERT_TRUE(a.w.writeFile(pathA));
    ASSERT_TRUE(b.w.writeFile(pathB));

    irsdkDiskClient r;
    ASSERT_TRUE(r.openFile(pathA.c_str()));
    ASSERT_TRUE(r.getNextData());
    ASSERT_TRUE(r.getNextData());
    ASSERT_TRUE(r.openFile(pathB.c_str())); // starts over on the new file
    ASSERT_TRUE(r.getNextData());
    EXPECT_EQ(r.getVarInt("Lap"), -4);
    EXPECT_STREQ(r.getSessionText(), "Other: 1\n");

    EXPECT_FALSE(r.openFile((pathA + ".missing").c_str()));
    expectClosedReadsZero(r);
    EXPECT_FALSE(r.getNextData());
    EXPECT_FALSE(r.openFile(nullptr));
    std::remove(pathA.c_str());
    std::remove(pathB.c_str());
}

// Every region the header names is checked against the file's size before
// anything is allocated: a corrupt header fails the open cleanly.
TEST(DiskClient, HostileHeadersFailTheOpen)
{
    Fixture fx(2);
    const std::vector<char> good = fx.w.bytes();
    const int size = static_cast<int>(good.size());
    struct Mutation {
        const char* what;
        size_t offset;
        int32_t value;
    };
    const Mutation mutations[] = {
        {"negative text length", 16, -1},
        {"huge text length", 16, INT_MAX},
        {"text past the end", 16, size},
        {"negative text offset", 20, -8},
        {"text offset at the end", 20, size},
        {"negative variable count", 24, -1},
        {"huge variable count", 24, INT_MAX},
        {"count that overflows 32 bits", 24, INT_MAX / 144 + 2},
        {"one descriptor too many", 24, (size - fx.w.varTableOffset()) / 144 + 1},
        {"negative table offset", 28, -144},
        {"huge table offset", 28, INT_MAX},
        {"negative record length", 36, -1},
        {"huge record length", 36, INT_MAX},
        {"record longer than the file", 36, size + 1},
        {"negative record offset", 52, -1},
        {"record offset past the end", 52, size + 1},
        // Fits the file, but no writer of recordings produces it.
        {"no variables", 24, 0},
        {"empty records", 36, 0},
        {"text inside the headers", 20, 100},
        {"table inside the headers", 28, 0},
        {"records inside the headers", 52, 32},
    };
    const std::string path = tempPath("reader_hostile.ibt");
    const std::string goodPath = tempPath("reader_hostile_good.ibt");
    ASSERT_TRUE(writeBytes(goodPath, good));
    irsdkDiskClient r;
    for (const Mutation& m : mutations) {
        SCOPED_TRACE(m.what);
        std::vector<char> image = good;
        setI32(image, m.offset, m.value);
        ASSERT_TRUE(writeBytes(path, image));
        ASSERT_TRUE(r.openFile(goodPath.c_str())); // a failed open also closes this one
        largestArrayRequest = 0;
        EXPECT_FALSE(r.openFile(path.c_str()));
        EXPECT_LE(largestArrayRequest, good.size());
        expectClosedReadsZero(r);
    }
    for (size_t cut : {size_t(0), size_t(50), size_t(112), size_t(143), size_t(fx.w.varTableOffset() + 100)}) {
        SCOPED_TRACE(::testing::Message() << "file cut to " << cut << " bytes");
        ASSERT_TRUE(writeBytes(path, std::vector<char>(good.begin(), good.begin() + static_cast<long>(cut))));
        largestArrayRequest = 0;
        EXPECT_FALSE(r.openFile(path.c_str()));
        EXPECT_LE(largestArrayRequest, good.size());
        expectClosedReadsZero(r);
    }
    std::remove(path.c_str());
    std::remove(goodPath.c_str());
}

#ifndef _WIN32
// Only a regular file is a recording: a FIFO without a writer, a directory
// or a device is refused at once, without blocking in the open.
TEST(DiskClient, NonRegularFilesAreRefusedWithoutBlocking)
{
    const std::string fifo = tempPath("fifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, ::testing::TempDir(), std::string("/dev/null"), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        irsdkDiskClient r;
        EXPECT_FALSE(r.openFile(path.c_str()));
        expectClosedReadsZero(r);
    }
    std::remove(fifo.c_str());
}
#endif

// A sparse file whose header claims records of a gigabyte, with two small
// variables at their start: opening allocates nothing of the record's size,
// and reading keeps only the bytes up to the last variable.
TEST(DiskClient, HugeClaimedRecordsCostOnlyWhatTheVariablesNeed)
{
    IbtWriter w;
    const int lap = w.addVar("Lap", irsdk_int);
    const int speed = w.addVar("Speed", irsdk_double);
    w.beginRecord();
    w.setInt(lap, 7);
    w.set(speed, 2.5);
    w.endRecord();
    std::vector<char> image = w.bytes();
    const int32_t claimed = 1 << 30;
    setI32(image, 36, claimed);
    const std::string path = tempPath("sparse");
    ASSERT_TRUE(writeBytes(path, image));
    const long long recordOffset = w.firstRecordOffset();
    std::error_code ec;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(recordOffset + 2LL * claimed + 100), ec);
    ASSERT_FALSE(ec) << ec.message();

    irsdkDiskClient r;
    largestArrayRequest = 0;
    ASSERT_TRUE(r.openFile(path.c_str()));
    EXPECT_LT(largestArrayRequest, 4096u) << "open allocates no record";
    ASSERT_TRUE(r.getNextData());
    EXPECT_LE(largestArrayRequest, 4096u);
    EXPECT_EQ(r.getRecordBytes(), 16) << "Lap, padding, Speed";
    EXPECT_EQ(r.getVarInt("Lap"), 7);
    EXPECT_EQ(r.getVarDouble("Speed"), 2.5);
    EXPECT_TRUE(r.getNextData()) << "the second, sparse record is whole";
    EXPECT_EQ(r.getVarInt("Lap"), 0);
    EXPECT_FALSE(r.getNextData()) << "100 bytes are not a third record";
    EXPECT_FALSE(r.getNextData());
    std::remove(path.c_str());
}

// A sparse file whose header claims a session text or a variable table
// almost the size of the file: what the file really holds is a short text
// and three descriptors, then nothing. Only that is allocated; a table of
// nothing is no table.
TEST(DiskClient, LyingTextAndTableLengthsCostOnlyWhatTheFileHolds)
{
    Fixture fx(1);
    const std::vector<char> good = fx.w.bytes();
    const long long fileSize = 1LL << 30;
    const std::string path = tempPath("reader_lying");
    // Header offset 16: the text's length, 24: the number of variables.
    for (const size_t claim : {size_t(16), size_t(24)}) {
        SCOPED_TRACE(claim == 16 ? "a text of nearly a gigabyte" : "a table of nearly a gigabyte");
        std::vector<char> image = good;
        setI32(image, claim, static_cast<int32_t>(claim == 16 ? fileSize - fx.w.sessionTextOffset()
                                                              : (fileSize - fx.w.varTableOffset()) / 144));
        ASSERT_TRUE(writeBytes(path, image));
        std::error_code ec;
        std::filesystem::resize_file(path, static_cast<std::uintmax_t>(fileSize), ec);
        ASSERT_FALSE(ec) << ec.message();
        irsdkDiskClient r;
        largestArrayRequest = 0;
        EXPECT_EQ(r.openFile(path.c_str()), claim == 16) << "a table of nothing is no table";
        EXPECT_LE(largestArrayRequest, good.size());
        const char* text = r.getSessionText();
        EXPECT_STREQ(text ? text : "", claim == 16 ? "WeekendInfo:\n TrackName: test_track\n" : "");
    }
    std::remove(path.c_str());
}

} // namespace
