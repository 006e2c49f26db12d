#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "child_process.h"
#include "demo_synth.h"
#include "files.h"
#include "ibt_columns.h"
#include "ibt_writer.h"
#include "temp_folder.h"

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the built ibt with the given arguments and collects its output.
Result runIbt(const std::vector<std::string>& args)
{
    const std::string out = tempPath("ibt_stdout"), err = tempPath("ibt_stderr");
    std::vector<std::string> argv{IBT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess ibt(argv, out, err);
    const int status = ibt.wait();
    Result r{status, ibt.out(), ibt.err()};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

// A recording with one variable of each kind and known values.
class IbtTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = tempPath("ibt_fixture.ibt");
        IbtWriter w;
        w.addVar("SessionTime", irsdk_double);
        w.addVar("Lap", irsdk_int);
        w.addVar("Throttle", irsdk_float);
        w.addVar("OnTrack", irsdk_bool);
        w.addVar("Cars", irsdk_float, 3);
        w.addVar("Flags", irsdk_bitField);
        w.addVar("Gear", irsdk_char);
        w.setSessionText(sessionText);
        for (int k = 0; k < 3; ++k) {
            w.beginRecord();
            w.set("SessionTime", 0.1 * (k + 1));
            w.set("Lap", k - 2);
            w.set("Throttle", 0.1 * (k + 1));
            w.set("OnTrack", k == 1);
            w.set("Cars", 2.5 + k, 2);
            w.set("Flags", 1 << 30);
            w.set("Gear", -1 + k);
            w.endRecord();
        }
        recordLength = w.recordLength();
        ASSERT_TRUE(w.writeFile(path));
    }
    void TearDown() override { std::remove(path.c_str()); }

    const std::string sessionText =
        "WeekendInfo:\r\n TrackName: test_track\r\n Empty:\r\nDrivers:\r\n - CarIdx: 4\r\n   Name: Ann\r\n";
    std::string path;
    int recordLength = 0;
};

TEST_F(IbtTool, CsvReadsEachColumnThroughItsGetter)
{
    const Result r = runIbt({"csv", path, "SessionTime", "Throttle", "Lap", "OnTrack", "Cars:2", "Flags",
        "Throttle@double", "Cars:2@int", "SessionTime@float", "Lap@bool", "Throttle@bool", "Gear"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
        "SessionTime,Throttle,Lap,OnTrack,Cars:2,Flags,Throttle@double,Cars:2@int,SessionTime@float,Lap@bool,Throttle@bool,Gear\n"
        "0.10000000000000001,0.100000001,-2,0,2.5,1073741824,0.10000000149011612,2,0.100000001,1,0,-1\n"
        "0.20000000000000001,0.200000003,-1,1,3.5,1073741824,0.20000000298023224,3,0.200000003,1,0,0\n"
        "0.30000000000000004,0.300000012,0,0,4.5,1073741824,0.30000001192092896,4,0.300000012,0,0,1\n");
}

TEST_F(IbtTool, InfoVarsAndSession)
{
    Result r = runIbt({"info", path});
    EXPECT_EQ(r.status, 0);
    const size_t textLength = sessionText.size() + 1; // the region holds the text and its NUL
    EXPECT_EQ(r.out, "records: 3\nvariables: 7\nrecord length: " + std::to_string(recordLength)
        + "\nsession text length: " + std::to_string(textLength) + "\n");

    r = runIbt({"vars", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0 SessionTime 5 1 0\n1 Lap 2 1 8\n2 Throttle 4 1 12\n3 OnTrack 1 1 16\n4 Cars 4 3 20\n"
                     "5 Flags 3 1 32\n6 Gear 0 1 36\n");

    struct Row {
        const char* path;
        int status;
        const char* out;
    };
    for (const Row& row : {Row{"WeekendInfo:TrackName:", 0, "test_track\n"}, Row{"Drivers:CarIdx:{4}Name:", 0, "Ann\n"},
             Row{"WeekendInfo:Empty:", 0, "\n"}, Row{"WeekendInfo:Missing:", 1, ""}, Row{"Drivers:CarIdx:{5}Name:", 1, ""}}) {
        SCOPED_TRACE(row.path);
        r = runIbt({"session", path, row.path});
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.out, row.out);
    }
}

TEST_F(IbtTool, InfoCountsWholeRecordsOfACutFile)
{
    std::string bytes = readFile(path);
    bytes.resize(bytes.size() - 3);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const Result r = runIbt({"info", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("records: 2\n"), std::string::npos);
    EXPECT_NE(r.out.find("partial record bytes: " + std::to_string(recordLength - 3) + "\n"), std::string::npos);
}

TEST_F(IbtTool, BadInputIsOneLineOnStandardErrorAndStatus2)
{
    const std::string notRecording = tempPath("ibt_text.ibt");
    std::ofstream(notRecording) << "just some text, not a recording\n";
    const std::string zeros = tempPath("ibt_zeros.ibt");
    std::ofstream(zeros, std::ios::binary) << std::string(200, '\0');
    // A recording with one descriptor that places its variable past the record.
    const std::string corrupt = tempPath("ibt_corrupt.ibt");
    IbtWriter w;
    w.addVar("Good", irsdk_int);
    irsdk_VarDescriptor broken{};
    broken.typeCode = irsdk_float;
    broken.dataOffset = 1000;
    broken.elementCount = 1;
    std::snprintf(broken.name, sizeof broken.name, "%s", "Broken");
    w.addRawDescriptor(broken);
    w.setRecordLength(8);
    w.beginRecord();
    w.setInt(0, 5);
    w.endRecord();
    ASSERT_TRUE(w.writeFile(corrupt));
    const Result good = runIbt({"csv", corrupt, "Good"});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out, "Good\n5\n") << "the other variables of the file still read";
    struct Row {
        std::vector<std::string> args;
        const char* mentions;
    };
    std::vector<Row> rows = {
        {{}, "command"},
        {{"frobnicate"}, "frobnicate"},
        {{"info"}, "FILE"},
        {{"info", path + ".missing"}, ".missing"},
        {{"info", ::testing::TempDir()}, "cannot read"},
        {{"vars", notRecording}, "not a telemetry recording"},
        {{"info", path, "extra"}, "FILE"},
        {{"info", "--frob", path}, "--frob"},
        {{"session", path}, "PATH"},
        {{"csv", path}, "COLUMN"},
        {{"csv", path, "Nope"}, "Nope"},
        {{"csv", path, "Lap@string"}, "Lap@string"},
        {{"csv", path, "Lap:x"}, "Lap:x"},
        {{"csv", path, "Lap:-1"}, "Lap:-1"},
        {{"csv", path, ":1"}, ":1"},
        {{"csv", path, "Cars:3"}, "Cars"},
        {{"csv", notRecording, "Lap"}, "not a telemetry recording"},
        {{"info", zeros}, "not a telemetry recording"},
        {{"vars", zeros}, "not a telemetry recording"},
        {{"csv", corrupt, "Good", "Broken"}, "Broken"},
        {{"synth"}, "OUT"},
        {{"synth", tempPath("ibt_s.ibt"), "--laps", "0"}, "--laps"},
        {{"synth", tempPath("ibt_s.ibt"), "--laps"}, "--laps"},
        {{"synth", tempPath("ibt_s.ibt"), "--seed", "-3"}, "--seed"},
        {{"synth", tempPath("ibt_s.ibt"), "--laps", "10001"}, "--laps"},
        {{"synth", tempPath("ibt_s.ibt"), "--seed", "4294967296"}, "--seed"},
        {{"synth", tempPath("ibt_s.ibt"), "--fast"}, "--fast"},
        {{"synth", ::testing::TempDir() + "no/such/dir/x.ibt"}, "cannot write"},
        {{"laps"}, "FILE"},
        {{"laps", path}, "LapDistPct"},
        {{"delta", path, "1"}, "LAP REFLAP"},
        {{"delta", path, "1", "x"}, "LAP REFLAP"},
        {{"delta", path, "1", "2"}, "LapDistPct"},
    };
#ifndef _WIN32
    // FIFOs and devices: not recordings, and a full disk is a failure, not a short file.
    const std::string fifo = tempPath("ibt_fifo.ibt");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    rows.insert(rows.end(), {
        {{"info", "/dev/zero"}, "not a regular file"},
        {{"info", fifo}, "not a regular file"},
        {{"vars", fifo}, "not a regular file"},
        {{"session", fifo, "WeekendInfo:"}, "not a regular file"},
        {{"csv", fifo, "Lap"}, "not a regular file"},
        {{"publish", fifo}, fifo.c_str()},
        {{"synth", "/dev/full"}, "cannot write"},
    });
#endif
    for (const Row& row : rows) {
        std::string shown;
        for (const std::string& a : row.args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const Result r = runIbt(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        EXPECT_NE(r.err.find(row.mentions), std::string::npos) << r.err;
    }
    std::remove(notRecording.c_str());
    std::remove(zeros.c_str());
#ifndef _WIN32
    std::remove(fifo.c_str());
#endif
    std::remove(corrupt.c_str());
}

#ifndef _WIN32
// Output that cannot be written (a full disk here) fails every command
// that writes, with one line on standard error.
TEST_F(IbtTool, AFullStandardOutputFailsTheCommandWithOneLine)
{
    const std::string err = tempPath("ibt_full_stderr");
    const std::vector<std::vector<std::string>> commands = {
        {IBT_PATH, "info", path}, {IBT_PATH, "vars", path}, {IBT_PATH, "session", path, "WeekendInfo:TrackName:"},
        {IBT_PATH, "csv", path, "Lap"}, {IBT_PATH, "--help"}, {IBT_PATH, "info", "--help"},
        {IBT_PATH, "reference", "--help"},
    };
    for (const std::vector<std::string>& argv : commands) {
        SCOPED_TRACE(argv[1] + " " + argv.back());
        ChildProcess ibt(argv, "/dev/full", err);
        EXPECT_EQ(ibt.wait(), 2);
        EXPECT_EQ(ibt.err(), "ibt: cannot write the output: No space left on device\n");
    }
}
#endif

TEST_F(IbtTool, HelpForEveryCommand)
{
    for (const char* command : {"info", "vars", "session", "csv", "synth", "laps", "delta"}) {
        SCOPED_TRACE(command);
        const Result r = runIbt({command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: ibt ") + command, 0), 0u) << r.out;
    }
    const Result r = runIbt({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("synth OUT"), std::string::npos);
}

TEST_F(IbtTool, SynthWritesADemoSessionThatTheOtherCommandsRead)
{
    const std::string demo = tempPath("ibt_demo.ibt");
    Result r = runIbt({"synth", demo, "--laps", "2", "--seed", "9"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = runIbt({"session", demo, "WeekendInfo:TrackName:"});
    EXPECT_EQ(r.out, "demo_ring\n");
    r = runIbt({"csv", demo, "Lap", "IsOnTrack"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Lap,IsOnTrack\n0,0\n", 0), 0u);
    EXPECT_NE(r.out.find("\n2,1\n"), std::string::npos); // reaches the end of the second timed lap
    std::remove(demo.c_str());
}

// Lap times from the start line, within a sample of what the simulator
// reported, and the delta between two laps ending at their difference.
TEST(IbtLaps, TheDemosLapTimesAndTheDeltaBetweenTwoOfThem)
{
    const std::string demo = tempPath("ibt_laps_demo.ibt");
    ASSERT_TRUE(writeDemoSession(demo, 6, 1));
    Result r = runIbt({"laps", demo});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<int, double> lineTimes;
    int fastest = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        int lap = 0;
        double time = 0.0, reported = 0.0;
        ASSERT_EQ(std::sscanf(line.c_str(), "lap %d: %lf s, reported %lf s", &lap, &time, &reported), 3) << line;
        EXPECT_NEAR(time, reported, 1.0 / 60.0) << line;
        lineTimes[lap] = time;
        if (line.find(", fastest") != std::string::npos)
            fastest = lap;
    }
    ASSERT_EQ(lineTimes.size(), 6u) << r.out;
    EXPECT_EQ(fastest, 6) << "the demo's laps: 37.72, 36.97, 36.26, 37.28, 36.31, 36.25 s";

    auto deltaRows = [](const std::string& csv) {
        std::vector<double> rows;
        std::istringstream in(csv);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "pct,delta");
        for (int i = 0; std::getline(in, line); ++i) {
            double pct = -1.0, delta = 0.0;
            EXPECT_EQ(std::sscanf(line.c_str(), "%lf,%lf", &pct, &delta), 2) << line;
            EXPECT_NEAR(pct, i / 100.0, 1e-9) << line;
            rows.push_back(delta);
        }
        EXPECT_EQ(rows.size(), 101u);
        return rows;
    };
    r = runIbt({"delta", demo, "4", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<double> slower = deltaRows(r.out);
    EXPECT_EQ(slower.front(), 0.0);
    EXPECT_NEAR(slower.back(), lineTimes[4] - lineTimes[6], 0.001);
    r = runIbt({"delta", demo, "3", "3"});
    for (double d : deltaRows(r.out))
        EXPECT_EQ(d, 0.0);

    r = runIbt({"delta", demo, "7", "3"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("lap 7 is not a completed lap"), std::string::npos) << r.err;
    std::remove(demo.c_str());
}

TEST(IbtColumns, Parsing)
{
    struct Row {
        const char* text;
        bool ok;
        const char* name;
        int entry;
        IbtValueType type;
    };
    const Row rows[] = {
        {"Speed", true, "Speed", 0, IbtValueType::Default},
        {"CarPct:63", true, "CarPct", 63, IbtValueType::Default},
        {"Speed@double", true, "Speed", 0, IbtValueType::Double},
        {"CarPct:2@bool", true, "CarPct", 2, IbtValueType::Bool},
        {"Lap@int", true, "Lap", 0, IbtValueType::Int},
        {"Lap@float", true, "Lap", 0, IbtValueType::Float},
        {"", false, "", 0, IbtValueType::Default},
        {"@int", false, "", 0, IbtValueType::Default},
        {"Lap@", false, "", 0, IbtValueType::Default},
        {"Lap@Int", false, "", 0, IbtValueType::Default},
        {"Lap:", false, "", 0, IbtValueType::Default},
        {"Lap:1x", false, "", 0, IbtValueType::Default},
        {"Lap:+1", false, "", 0, IbtValueType::Default},
        {"Lap:99999999999", false, "", 0, IbtValueType::Default},
        {"Lap:2147483647", true, "Lap", 2147483647, IbtValueType::Default},
        {"Lap:2147483648", false, "", 0, IbtValueType::Default},
        {"Lap:1:2", false, "", 0, IbtValueType::Default},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        IbtColumn c;
        std::string error;
        EXPECT_EQ(ibtParseColumn(row.text, c, error), row.ok);
        if (row.ok) {
            EXPECT_EQ(c.text, row.text);
            EXPECT_EQ(c.name, row.name);
            EXPECT_EQ(c.entry, row.entry);
            EXPECT_EQ(c.type, row.type);
        } else {
            EXPECT_NE(error.find(row.text), std::string::npos) << error;
        }
    }
    EXPECT_EQ(ibtDefaultType(0), IbtValueType::Int);
    EXPECT_EQ(ibtDefaultType(3), IbtValueType::Int);
    EXPECT_EQ(ibtDefaultType(4), IbtValueType::Float);
    EXPECT_EQ(ibtDefaultType(5), IbtValueType::Double);
}

} // namespace
