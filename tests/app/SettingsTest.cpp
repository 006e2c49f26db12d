// The settings file: every key read with each bad value or line costing only
// itself, edits that keep what a person wrote, the old file carried over
// once, and a program run's reading and storing, also when programs end
// together or one was killed while writing.
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
#include "UserFiles.h"
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
    std::string file() const { return folder() + "/settings.toml"; }
    void write(const std::string& text, const char* name = "settings.toml") const
    {
        std::ofstream(folder() + "/" + name, std::ios::binary) << text;
    }

private:
    TempFolder dir;
    std::string saved;
    bool hadOld = false;
};

std::string joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    return all;
}

} // namespace

TEST(Settings, ReadsEveryKeyAndABadValueOrLineCostsOnlyItself)
{
    const std::string good = "locked = true\nreference-laps = false\n"
                             "[strip]\nposition = [-700, 35]\nscale = 2\nopacity = 0.5\n"
                             "[trackmap]\nenabled = true\nscale = \"auto\"\n"
                             "[varplot]\nvariables = [\"Speed\", \"Gear@int\"]\n"
                             "[keys]\nshow-hide = \"Ctrl+Alt+H\"\n"
                             "[buttons]\nlock = { device = \"Wheel\", button = 7 }\n";
    UserSettings s;
    std::vector<std::string> problems;
    ASSERT_TRUE(settings::read(good, &s, &problems));
    EXPECT_EQ(joined(problems), "");
    EXPECT_TRUE(s.locked);
    EXPECT_FALSE(s.referenceLaps);
    EXPECT_TRUE(s.strip.enabled) << "the strip is on by default";
    EXPECT_TRUE(s.strip.hasPosition);
    EXPECT_EQ(s.strip.x, -700);
    EXPECT_EQ(s.strip.y, 35);
    EXPECT_EQ(s.strip.scale, 2.0f);
    EXPECT_EQ(s.strip.opacity, 0.5f);
    EXPECT_TRUE(s.trackmap.enabled);
    EXPECT_TRUE(s.trackmap.autoScale);
    EXPECT_FALSE(s.varplot.enabled);
    EXPECT_EQ(s.variables, (std::vector<std::string>{"Speed", "Gear@int"}));
    EXPECT_EQ(s.showHideKey, "Ctrl+Alt+H");
    EXPECT_EQ(s.lockKey, "Ctrl+Shift+F2");
    EXPECT_EQ(s.lockButton.device, "Wheel");
    EXPECT_EQ(s.lockButton.button, 7);
    EXPECT_FALSE(s.showHideButton.bound());

    // One bad line at a time, put into a table of the good file: it is one
    // problem that names it, and everything else still holds.
    struct Case {
        const char* table;
        std::string line;
        std::string problem;
        bool syntax;
    };
    const Case cases[] = {
        {"[varplot]", "scale = 9", "varplot.scale is not a number from 0.5 to 4, or \"auto\"; using the default", false},
        {"[varplot]", "opacity = nan", "varplot.opacity is not a number from 0 to 1; using the default", false},
        {"[varplot]", "position = [1, 2, 3]", "varplot.position is not a position [x, y] in whole screen units", false},
        {"[varplot]", "position = [1000001, 2]", "varplot.position is not a position", false},
        {"[varplot]", "enabled = \"yes\"", "varplot.enabled is not true or false; using the default", false},
        {"[varplot]", "scael = 2", "varplot.scael is not a setting; ignored", false},
        {"[keys]", "lock = 5", "keys.lock is not a text in quotes", false},
        {"[buttons]", "show-hide = { device = \"Wheel\" }", "buttons.show-hide is not { device", false},
        {"[varplot]", "scale = = 2", "line 11: ", true},
        {"[varplot]", std::string("scale = 2\0x", 11), "line 11: ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const size_t at = good.find(std::string(c.table) + "\n") + std::string(c.table).size() + 1;
        const std::string text = good.substr(0, at) + c.line + "\n" + good.substr(at);
        UserSettings t;
        std::vector<std::string> found;
        EXPECT_EQ(settings::read(text, &t, &found), !c.syntax);
        ASSERT_EQ(found.size(), 1u) << joined(found);
        EXPECT_EQ(found[0].rfind(c.problem, 0), 0u) << found[0];
        EXPECT_EQ(t.varplot.scale, 1.0f) << "the bad value is not used";
        EXPECT_EQ(t.strip.scale, 2.0f);
        EXPECT_TRUE(t.locked);
        EXPECT_EQ(t.variables.size(), 2u);
        EXPECT_EQ(t.showHideKey, "Ctrl+Alt+H");
        EXPECT_EQ(t.lockButton.button, 7);
    }
}

TEST(Settings, EditsKeepCommentsOrderAndWhatTheyDoNotKnow)
{
    const std::string text = "# mine\nunknown = 1 # kept\n\n[strip] # the strip\nposition = [ 1,\n  2 ] # here\n"
                             "scale = 2\n\n[other]\nx = \"y\"\n";
    const std::string edited = settings::applyEdits(
        text, {settings::positionEdit(OverlayKind::Strip, -5, 6), settings::positionEdit(OverlayKind::TrackMap, 7, 8),
               settings::boolEdit("", "locked", true), settings::boolEdit("strip", "enabled", false)});
    EXPECT_EQ(edited, "# mine\nunknown = 1 # kept\nlocked = true\n\n[strip] # the strip\nenabled = false\n"
                      "position = [-5, 6] # here\nscale = 2\n\n[other]\nx = \"y\"\n\n[trackmap]\nposition = [7, 8]\n");

    // A table written inline cannot take a new line: the file is written
    // anew, with every value and the edit.
    const std::string inlined = "strip = { scale = 2 } # a comment\n";
    UserSettings s;
    std::vector<std::string> problems;
    EXPECT_TRUE(settings::read(settings::applyEdits(inlined, {settings::positionEdit(OverlayKind::Strip, 3, 4)}), &s,
                               &problems));
    EXPECT_EQ(joined(problems), "");
    EXPECT_EQ(s.strip.scale, 2.0f);
    EXPECT_EQ(s.strip.x, 3);
    EXPECT_EQ(s.strip.y, 4);

    // The file of a first start reads as the defaults.
    UserSettings defaults;
    ASSERT_TRUE(settings::read(settings::templateText(), &defaults, &problems));
    EXPECT_EQ(joined(problems), "");
    EXPECT_TRUE(defaults.strip.enabled);
    EXPECT_FALSE(defaults.trackmap.enabled || defaults.varplot.enabled || defaults.locked);
}

TEST(ProgramSettings, AFirstStartCarriesTheOldFileOverOnce)
{
    ConfigHome home;
    home.write("# old\noverlay.position = 290,479\noverlay-varplot.position = 1, 2\nreference-laps = off\n"
               "overlay-trackmap.position = 5000000,1\n",
               "settings.conf");
    testing::internal::CaptureStderr();
    ProgramSettings first("prog");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "prog: settings carried over from " + home.folder() + "/settings.conf to " + home.file() + "\n");
    const UserSettings& s = first.values();
    EXPECT_EQ(s.strip.x, 290);
    EXPECT_EQ(s.strip.y, 479);
    EXPECT_EQ(s.varplot.x, 1);
    EXPECT_FALSE(s.trackmap.hasPosition) << "a position off every screen is not carried over";
    EXPECT_FALSE(s.referenceLaps);

    home.write("overlay.position = 1,1\n", "settings.conf");
    testing::internal::CaptureStderr();
    ProgramSettings second("prog");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(second.values().strip.x, 290) << "settings.toml wins once it exists";
}

TEST(ProgramSettings, StoreKeepsWhatOthersWroteAndNeverWritesOverABrokenFile)
{
    ConfigHome home;
    testing::internal::CaptureStderr();
    ProgramSettings fresh("prog");
    fresh.store({settings::positionEdit(OverlayKind::Strip, 1, 2)});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no file is no problem";
    UserSettings stored;
    std::vector<std::string> problems;
    ASSERT_TRUE(settings::read(slurp(home.file()), &stored, &problems));
    EXPECT_EQ(stored.strip.x, 1);
    EXPECT_NE(slurp(home.file()).find("# Settings of the telemetry overlays"), std::string::npos)
        << "a new file has every key with its comment";

    home.write("[trackmap]\nposition = [1, 1]\n");
    ProgramSettings b("b");
    home.write("[trackmap]\nposition = [2, 2] # moved meanwhile\n");
    b.store({settings::positionEdit(OverlayKind::VarPlot, 3, 3)});
    EXPECT_EQ(slurp(home.file()), "[trackmap]\nposition = [2, 2] # moved meanwhile\n\n[varplot]\nposition = [3, 3]\n");

    const std::string broken = "[strip]\nposition = [4, 4]\nthis is not toml\n";
    home.write(broken);
    testing::internal::CaptureStderr();
    ProgramSettings c("c");
    EXPECT_EQ(c.values().strip.x, 4) << "the good lines of a broken file hold";
    c.store({settings::positionEdit(OverlayKind::Strip, 9, 9)});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("c: settings file " + home.file() + ": line 3: ", 0), 0u) << err;
    EXPECT_NE(err.find("has lines that are not TOML; not saved: the window position\n"), std::string::npos) << err;
    EXPECT_EQ(slurp(home.file()), broken);

    ASSERT_EQ(::remove(home.file().c_str()), 0);
    ASSERT_EQ(::mkdir(home.file().c_str(), 0700), 0); // a folder where the file should be
    testing::internal::CaptureStderr();
    ProgramSettings d("d");
    d.store({settings::positionEdit(OverlayKind::Strip, 7, 8)});
    const std::string unreadable = testing::internal::GetCapturedStderr();
    EXPECT_NE(unreadable.find("cannot read " + home.file()), std::string::npos) << unreadable;
    struct stat st {};
    ASSERT_EQ(::stat(home.file().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
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
        const std::string value = "[" + std::to_string(round) + ", 1]";
        for (const char* program : programs) {
            const pid_t child = ::fork();
            if (child == 0) {
                char go;
                ::close(gate[1]);
                (void)!::read(gate[0], &go, 1); // returns once the test closes the gate
                ProgramSettings(program).store({{program, "position", value}});
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (const pid_t child : children)
            ::waitpid(child, nullptr, 0);
        for (const char* program : programs)
            EXPECT_NE(slurp(home.file()).find("[" + std::string(program) + "]\nposition = " + value + "\n"),
                      std::string::npos)
                << "round " << round;
    }
}

TEST(ProgramSettings, StartRemovesWhatAWriterKilledLongAgoLeft)
{
    ConfigHome home;
    home.write("locked = true\n");
    const std::string leftover = home.file() + userfiles::kTemporaryInfix + "k1LLed";
    std::ofstream(leftover) << "locked = false\n";
    std::filesystem::last_write_time(leftover, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    ProgramSettings settings("prog");
    EXPECT_FALSE(std::filesystem::exists(leftover));
}
