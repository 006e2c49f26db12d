// ibt reference: importing a recording's fastest lap into an empty data
// folder, listing and removing kept laps, and the tool's one-line errors.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "demo_synth.h"
#include "ibt_writer.h"
#include "pedal_recording.h"
#include "private_user_folders.h"
#include "child_process.h"
#include "temp_folder.h"

namespace {

struct IbtRun {
    int status;
    std::string out;
    std::string err;
};

IbtRun ibt(const std::string& folder, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {IBT_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess child(folder, argv);
    child.waitExit(60);
    return {child.exitStatus(), child.out(), child.err()};
}

int lines(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

std::string lapsFolder()
{
    return std::string(std::getenv("XDG_DATA_HOME")) + "/telemetry-overlay/laps";
}

} // namespace

TEST(IbtReference, ImportListAndRemoveTheDemosFastestLap)
{
    TempFolder dir("reference");
    ASSERT_TRUE(writeDemoSession(dir.path() + "/demo.ibt", 6, 1));

    IbtRun r = ibt(dir.path(), {"reference", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "") << "an empty data folder";

    // The demo's completed laps end at boundaries timed 36.97, 36.26, 37.28,
    // 36.31 and 36.25 s; the lap ending at the first boundary was not driven
    // from one.
    r = ibt(dir.path(), {"reference", "import", "demo.ibt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "stored demo_ring, Demo Formula: 36.253\n");
    EXPECT_EQ(r.err, "");

    r = ibt(dir.path(), {"reference", "import", "demo.ibt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "kept the stored lap of demo_ring, Demo Formula: 36.253 is not faster (--force replaces it)\n");
    r = ibt(dir.path(), {"reference", "import", "--force", "demo.ibt"});
    EXPECT_EQ(r.out, "stored demo_ring, Demo Formula: 36.253\n");

    r = ibt(dir.path(), {"reference", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), 1) << r.out;
    EXPECT_EQ(r.out.rfind("demo_ring\tDemo Formula\t36.253\t20", 0), 0u) << r.out;

    // A list that cannot be written is a failure.
    ChildProcess full({IBT_PATH, "reference", "list"}, "/dev/full", dir.path() + "/err.txt");
    EXPECT_EQ(full.wait(), 2);
    EXPECT_EQ(full.err(), "ibt: cannot write the output: No space left on device\n");

    r = ibt(dir.path(), {"reference", "remove", "demo_ring", "Demo Formula"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ibt(dir.path(), {"reference", "list"}).out, "");
}

TEST(IbtReference, ListSkipsABadFileWithOneLine)
{
    TempFolder dir("reference");
    ASSERT_TRUE(writeDemoSession(dir.path() + "/demo.ibt", 3, 1));
    ASSERT_EQ(ibt(dir.path(), {"reference", "import", "demo.ibt"}).status, 0);
    shellOutput("printf 'TOLP\\001\\000\\000\\000' > '" + lapsFolder() + "/broken@car.lap'");

    const IbtRun r = ibt(dir.path(), {"reference", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), 1) << r.out;
    EXPECT_EQ(r.err, "ibt: reference: " + lapsFolder() + "/broken@car.lap: truncated; ignored\n");
}

TEST(IbtReference, ErrorsAreOneLineWithStatusTwo)
{
    TempFolder dir("reference");
    // A recording without a driver's car, and one whose lap never ends.
    IbtWriter w;
    const int lap = w.addVar("Lap", irsdk_int);
    w.setSessionText("WeekendInfo:\r\n TrackName: testring\r\n");
    w.beginRecord();
    w.setInt(lap, 1);
    w.endRecord();
    ASSERT_TRUE(w.writeFile(dir.path() + "/nocar.ibt"));
    std::vector<PedalSample> s;
    appendLap(s, 1, fractionRamp(50, 0.1f, 0.01f), 0.5f, 0.0f, 0.0f);
    ASSERT_TRUE(writePedalRecording(dir.path() + "/partial.ibt", s));
    shellOutput("echo 'not a recording' > '" + dir.path() + "/text.ibt'");
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo.ibt").c_str(), 0600), 0);

    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"reference"}, "expected import, list or remove"},
        {{"reference", "rename"}, "unknown action rename"},
        {{"reference", "import"}, "import: expected FILE"},
        {{"reference", "import", "a.ibt", "b.ibt"}, "import: expected one FILE"},
        {{"reference", "import", "--fast", "a.ibt"}, "import: unknown option --fast"},
        {{"reference", "import", "missing.ibt"}, "cannot open missing.ibt"},
        {{"reference", "import", "text.ibt"}, "text.ibt is not a telemetry recording"},
        {{"reference", "import", "fifo.ibt"}, "fifo.ibt is not a regular file"},
        {{"reference", "import", "nocar.ibt"}, "nocar.ibt names no track and car"},
        {{"reference", "import", "partial.ibt"}, "partial.ibt has no completed lap with a lap time"},
        {{"reference", "list", "x"}, "list: takes no arguments"},
        {{"reference", "remove", "testring"}, "remove: expected TRACK CAR"},
        {{"reference", "remove", "testring", "testcar"}, "no reference lap stored for testring, testcar"},
    };
    for (const Case& c : cases) {
        const IbtRun r = ibt(dir.path(), c.args);
        SCOPED_TRACE(c.message);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("ibt: reference: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }

    const IbtRun help = ibt(dir.path(), {"reference", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: ibt reference import FILE [--force]", 0), 0u) << help.out;
}

// A FIFO or a link to nothing among the kept laps never holds the tool up,
// and each is named in its one line.
TEST(IbtReference, FifosAndLinksToNothingAmongTheLapsAreNamedAndNeverBlock)
{
    TempFolder dir("reference");
    ASSERT_TRUE(writeDemoSession(dir.path() + "/demo.ibt", 3, 1));
    ASSERT_EQ(ibt(dir.path(), {"reference", "import", "demo.ibt"}).status, 0);
    const std::string fifo = lapsFolder() + "/fifo@car.lap", gone = lapsFolder() + "/gone@car.lap";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere.lap", gone.c_str()), 0);

    IbtRun r = ibt(dir.path(), {"reference", "list"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), 1) << r.out;
    EXPECT_NE(r.err.find("ibt: reference: cannot read " + fifo + ": not a regular file; ignored\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("ibt: reference: cannot read " + gone + ": No such file or directory; ignored\n"),
              std::string::npos) << r.err;

    // The demo's own lap file a FIFO: import says so, remove deletes it.
    const std::string demoLap = lapsFolder() + "/demo_ring@Demo%20Formula.lap";
    ASSERT_EQ(std::remove(demoLap.c_str()), 0);
    ASSERT_EQ(::mkfifo(demoLap.c_str(), 0600), 0);
    r = ibt(dir.path(), {"reference", "import", "demo.ibt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ibt: reference: cannot read " + demoLap + ": not a regular file\n");
    r = ibt(dir.path(), {"reference", "remove", "demo_ring", "Demo Formula"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(demoLap)));
}
