// The settings file: what counts as an entry, edits that keep what a person
// wrote, and a program run's reading and storing with its one line of
// trouble, also when programs end together or one was killed while writing.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Settings.h"
#include "temp_folder.h"

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private configuration folder for one test.
class ConfigHome {
public:
    ConfigHome() : dir("settings")
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old)
            saved = old, hadOld = true;
        ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        ::mkdir(folder().c_str(), 0700);
    }
    ~ConfigHome()
    {
        if (hadOld)
            ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }
    std::string folder() const { return dir.path() + "/telemetry-overlay"; }
    std::string file() const { return folder() + "/settings.conf"; }
    void write(const std::string& text) const { std::ofstream(file(), std::ios::binary) << text; }

private:
    TempFolder dir;
    std::string saved;
    bool hadOld = false;
};

int lineCount(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

} // namespace

TEST(Settings, TellsEntriesFromLinesThatAreNot)
{
    struct Case {
        const char* text;
        const char* problem; // empty: the line is fine
    };
    const Case cases[] = {
        {"overlay.position = 10,20", ""},
        {"  key=value  ", ""},
        {"key =", ""},
        {"key = a = b", ""},
        {"key = value\r", ""},
        {"# a comment", ""},
        {"   ", ""},
        {"no equals sign", "line 1 is not a \"key = value\" line"},
        {"= value", "line 1 is not a \"key = value\" line"},
        {"two words = 1", "line 1 is not a \"key = value\" line"},
        {"k\xff = 1", "line 1 is not a \"key = value\" line"},
        {"# fine\nbad\nworse", "line 2 is not a \"key = value\" line"},
    };
    for (const Case& c : cases) {
        Settings s;
        std::string problem;
        s.parse(c.text, &problem);
        EXPECT_EQ(problem, c.problem) << c.text;
    }

    Settings s;
    std::string problem;
    s.parse(std::string("a = 1\nb\0c = 2\n", 13), &problem);
    EXPECT_EQ(problem, "line 2 is not a \"key = value\" line");
}

TEST(Settings, EditsKeepCommentsOrderAndUnreadableLines)
{
    const std::string text = "# mine\n\nb = 2\nnot an entry\na = 1\na = 3\n";
    Settings s;
    s.parse(text);
    EXPECT_EQ(s.text(), text);
    ASSERT_NE(s.get("a"), nullptr);
    EXPECT_EQ(*s.get("a"), "3") << "the last entry of a key wins";
    EXPECT_EQ(s.get("c"), nullptr);

    s.set("a", "4");
    s.set("c", "5");
    EXPECT_EQ(s.text(), "# mine\n\nb = 2\nnot an entry\na = 4\nc = 5\n");
    EXPECT_EQ(*s.get("a"), "4");
}

TEST(ProgramSettings, MissingFileIsQuietAndStoreCreatesIt)
{
    ConfigHome home;
    testing::internal::CaptureStderr();
    ProgramSettings settings("prog");
    EXPECT_EQ(settings.get("prog.position"), nullptr);
    settings.store("prog.position", "1,2");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(slurp(home.file()), "prog.position = 1,2\n");
}

TEST(ProgramSettings, CorruptFileGivesDefaultsOneLineAndKeepsItsLines)
{
    ConfigHome home;
    home.write("other.position = 5,6\n\x01\x02garbage\nprog.position = 1,2\n");
    testing::internal::CaptureStderr();
    ProgramSettings settings("prog");
    EXPECT_EQ(settings.get("prog.position"), nullptr) << "nothing of a damaged file is used";
    settings.store("prog.position", "7,8");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(err), 1) << err;
    EXPECT_EQ(err.rfind("prog: settings file " + home.file() + ": line 2", 0), 0u) << err;
    EXPECT_EQ(slurp(home.file()), "other.position = 5,6\n\x01\x02garbage\nprog.position = 7,8\n");
}

TEST(ProgramSettings, UnreadableFileGivesDefaultsOneLineAndIsNotWrittenOver)
{
    ConfigHome home;
    ASSERT_EQ(::mkdir(home.file().c_str(), 0700), 0); // a folder where the file should be
    testing::internal::CaptureStderr();
    ProgramSettings settings("prog");
    settings.reportBadValue("prog.position", "a position");
    settings.store("prog.position", "7,8");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(err), 1) << err;
    EXPECT_NE(err.find("cannot read " + home.file()), std::string::npos) << err;
    struct stat st {};
    ASSERT_EQ(::stat(home.file().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(ProgramSettings, StoreKeepsWhatOtherProgramsWroteSinceTheStart)
{
    ConfigHome home;
    home.write("a.position = 1,1\n");
    ProgramSettings settings("b");
    home.write("a.position = 2,2\n# written by a meanwhile\n");
    settings.store("b.position", "3,3");
    EXPECT_EQ(slurp(home.file()), "a.position = 2,2\n# written by a meanwhile\nb.position = 3,3\n");

    testing::internal::CaptureStderr();
    settings.reportBadValue("b.position", "a position \"X,Y\"");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "b: settings file " + home.file() + ": b.position is not a position \"X,Y\"; using the default\n");
}

// Programs that end together take turns: each one's entry is kept. A long
// file gives a lost update (read, read, write, write) a wide window.
TEST(ProgramSettings, ProgramsEndingTogetherLoseNoEntry)
{
    ConfigHome home;
    const char* const programs[] = {"p0", "p1", "p2", "p3", "p4", "p5"};
    std::string comments;
    while (comments.size() < 48 * 1024)
        comments += "# a note kept in the file by hand, long enough to take time to read and write\n";
    for (int round = 0; round < 10; ++round) {
        home.write(comments);
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> children;
        const std::string value = std::to_string(round) + ",1";
        for (const char* program : programs) {
            const pid_t child = ::fork();
            if (child == 0) {
                char go;
                ::close(gate[1]);
                (void)!::read(gate[0], &go, 1); // returns once the test closes the gate
                ProgramSettings(program).store(std::string(program) + ".position", value);
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (const pid_t child : children)
            ::waitpid(child, nullptr, 0);
        for (const char* program : programs)
            EXPECT_NE(slurp(home.file()).find(std::string(program) + ".position = " + value + "\n"), std::string::npos)
                << "round " << round;
    }
}

TEST(ProgramSettings, StartRemovesWhatAWriterKilledLongAgoLeft)
{
    ConfigHome home;
    home.write("a = 1\n");
    const std::string leftover = home.file() + ".k1LLed";
    std::ofstream(leftover) << "a = 2\n";
    std::filesystem::last_write_time(leftover, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    ProgramSettings settings("prog");
    EXPECT_FALSE(std::filesystem::exists(leftover));
}
