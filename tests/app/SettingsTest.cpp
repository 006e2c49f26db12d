// The settings file: every key read with each bad value or line costing only
// itself, edits that keep what a person wrote, the old file carried over
// once, and a program run's reading and storing, also when programs end
// together or one was killed while writing.
#include <algorithm>
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
#include "settings_seeds.h"
#include "temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

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
                             "[varplot]\nvariables = [\"Speed\", \"Gear@int\"]\nlanes = true\n"
                             "[keys]\nshow-hide = \"Ctrl+Alt+H\"\n"
                             "[buttons]\nlock = { device = \"Wheel\", button = 7 }\n"
                             "[share]\nenabled = true\nurl = \"mqtts://h/t\"\nusername = \"u\"\npassword = \"p\"\n"
                             "ca-file = \"/ca.pem\"\nvariables = [\"Throttle\"]\n";
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
    EXPECT_TRUE(s.varplotLanes);
    EXPECT_EQ(s.showHideKey, "Ctrl+Alt+H");
    EXPECT_EQ(s.lockKey, "Ctrl+Shift+F2");
    EXPECT_EQ(s.lockButton.device, "Wheel");
    EXPECT_EQ(s.lockButton.button, 7);
    EXPECT_FALSE(s.showHideButton.bound());
    EXPECT_TRUE(s.share.enabled);
    EXPECT_EQ(s.share.url, "mqtts://h/t");
    EXPECT_EQ(s.share.username + s.share.password + s.share.caFile, "up/ca.pem");
    EXPECT_EQ(s.share.variables, (std::vector<std::string>{"Throttle"}));

    // One bad line at a time, put into a table of the good file: it is one
    // problem that names it, and everything else still holds.
    struct Case {
        const char* table;
        std::string line;
        std::string problem;
        bool syntax;
    };
    const long end = std::count(good.begin(), good.end(), '\n') + 1; // the line after the good file
    const Case cases[] = {
        {"[varplot]", "scale = 9", "varplot.scale is not a number from 0.5 to 4, or \"auto\"; using the default", false},
        {"[varplot]", "opacity = nan", "varplot.opacity is not a number from 0 to 1; using the default", false},
        {"[varplot]", "position = [1, 2, 3]", "varplot.position is not a position [x, y] in whole screen units", false},
        {"[varplot]", "position = [1000001, 2]", "varplot.position is not a position", false},
        {"[varplot]", "enabled = \"yes\"", "varplot.enabled is not true or false; using the default", false},
        {"[varplot]", "scael = 2", "varplot.scael is not a setting; ignored", false},
        {"[keys]", "lock = 5", "keys.lock is not a text in quotes", false},
        {"[buttons]", "show-hide = { device = \"Wheel\" }", "buttons.show-hide is not { device", false},
        {"[varplot]", "scale = = 2", "line 11: not a value (a text goes in quotes); the line is ignored", true},
        {"[varplot]", std::string("scale = 2\0x", 11), "line 11: unexpected text after the value", true},
        // Letters beyond ASCII outside quotes, and a table name that is no
        // key: toml++ itself is never given them.
        {"[varplot]", "opacit\xC3\xA9 = 0.5", "line 11: a key without quotes has only the letters A to Z", true},
        {"[varplot]", "gr\xC3\xB6\xC3\x9F" "e = 2", "line 11: a key without quotes has only", true},
        {"[varplot]", "x = \xD0\xB6", "line 11: not a value (a text goes in quotes)", true},
        {"[varplot]", "x = \"\xC3\x28\"", "line 11: bytes that are not UTF-8", true},
        {"", "[#strip]\nscale = 3",
         "line " + std::to_string(end) + ": expected the name of a table; lines " + std::to_string(end) + " to " +
             std::to_string(end + 1) + " are ignored",
         true},
        // A list or a text of several lines with a fault inside: one
        // problem, the whole value left out.
        {"[varplot]", "variables = [\n  \"Speed\",\n  Gear,\n]",
         "line 13: not a value (a text goes in quotes): Gear; lines 11 to 14 are ignored", true},
        {"[varplot]", "variables = \"\"\"a\\q\n\"\"\"", "line 11: \\q is not an escape", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // After the table's header, or at the end.
        const size_t at = *c.table ? good.find(std::string(c.table) + "\n") + std::string(c.table).size() + 1 : good.size();
        const std::string text = good.substr(0, at) + c.line + "\n" + good.substr(at);
        UserSettings t;
        std::vector<std::string> found;
        EXPECT_EQ(settings::read(text, &t, &found), !c.syntax);
        ASSERT_EQ(found.size(), 1u) << joined(found);
        EXPECT_EQ(found[0].rfind(c.problem, 0), 0u) << found[0];
        EXPECT_EQ(t.varplot.scale, 1.0f) << "the bad value is not used";
        EXPECT_EQ(t.strip.scale, 2.0f);
        EXPECT_TRUE(t.locked);
        EXPECT_EQ(t.variables, (std::vector<std::string>{"Speed", "Gear@int"}));
        EXPECT_EQ(t.showHideKey, "Ctrl+Alt+H");
        EXPECT_EQ(t.lockButton.button, 7);
    }
}

// What is never closed (a list, a table in braces, a text of several lines)
// is one problem that names where it opened, and every value before it holds.
TEST(Settings, WhatIsNeverClosedCostsOnlyTheRestOfTheFile)
{
    const std::string before = "locked = true\n[strip]\nscale = 2\n";
    for (const char* open : {"[varplot]\nvariables = [\"Speed\",\n", "[varplot]\nvariables = [\"Speed\"\n[keys]\n",
                             "[buttons]\nlock = { device = \"Wheel\",\n", "[varplot]\nx = \"\"\"Speed\n[keys]\n",
                             "[varplot]\nx = '''Speed\n"}) {
        SCOPED_TRACE(open);
        UserSettings s;
        std::vector<std::string> problems;
        EXPECT_FALSE(settings::read(before + open + "lock = \"Ctrl+L\"\n", &s, &problems));
        ASSERT_EQ(problems.size(), 1u) << joined(problems);
        EXPECT_EQ(problems[0].rfind("line 5: the ", 0), 0u) << problems[0];
        EXPECT_NE(problems[0].find(" opened here is never closed; the rest of the file is ignored"), std::string::npos)
            << problems[0];
        EXPECT_TRUE(s.locked);
        EXPECT_EQ(s.strip.scale, 2.0f);
        EXPECT_EQ(s.lockKey, "Ctrl+Shift+F2");
    }
}

// The ends of every range count as in it.
TEST(Settings, TheEndsOfEveryRangeAreAccepted)
{
    const std::string text = "[strip]\nscale = 0.5\nopacity = 0\nposition = [-1000000, 1000000]\n"
                             "[trackmap]\nscale = 4\nopacity = 1\n[buttons]\nlock = { device = \"W\", button = 0 }\n"
                             "show-hide = { device = \"W\", button = 255 }\n";
    UserSettings s;
    std::vector<std::string> problems;
    ASSERT_TRUE(settings::read(text, &s, &problems));
    EXPECT_EQ(joined(problems), "");
    EXPECT_EQ(s.strip.scale, 0.5f);
    EXPECT_EQ(s.strip.opacity, 0.0f);
    EXPECT_EQ(s.strip.x, -1000000);
    EXPECT_EQ(s.strip.y, 1000000);
    EXPECT_EQ(s.trackmap.scale, 4.0f);
    EXPECT_EQ(s.trackmap.opacity, 1.0f);
    EXPECT_EQ(s.lockButton.button, 0);
    EXPECT_EQ(s.showHideButton.button, 255);
}

TEST(Settings, EditsKeepCommentsOrderAndWhatTheyDoNotKnow)
{
    std::string text = "# mine\nunknown = 1 # kept\n\n[strip] # the strip\nposition = [ 1,\n  2 ] # here\n"
                       "scale = 2\n\n[other]\nx = \"y\"\n";
    std::string why;
    ASSERT_TRUE(settings::applyEdits(
        &text, {settings::positionEdit(OverlayKind::Strip, -5, 6), settings::positionEdit(OverlayKind::TrackMap, 7, 8),
                settings::boolEdit("", "locked", true), settings::boolEdit("strip", "enabled", false)}, &why))
        << why;
    EXPECT_EQ(text, "# mine\nunknown = 1 # kept\nlocked = true\n\n[strip] # the strip\nenabled = false\n"
                    "position = [-5, 6] # here\nscale = 2\n\n[other]\nx = \"y\"\n\n[trackmap]\nposition = [7, 8]\n");

    // The file of a first start reads as the defaults.
    UserSettings defaults;
    std::vector<std::string> problems;
    ASSERT_TRUE(settings::read(settings::templateText(), &defaults, &problems));
    EXPECT_EQ(joined(problems), "");
    EXPECT_TRUE(defaults.strip.enabled);
    EXPECT_FALSE(defaults.trackmap.enabled || defaults.varplot.enabled || defaults.locked);
}

// Every form TOML gives a table takes the edit in place, comments and all;
// a table that is not one place is left as it is, and says why.
TEST(Settings, EditsGoInPlaceInEveryFormOfTheTable)
{
    struct Case {
        std::string text;
        std::string edited; // empty: refused, the text unchanged
    };
    const Case cases[] = {
        {"# c\nstrip.enabled = true # c\n[keys]\n", "# c\nstrip.enabled = true # c\nstrip.position = [3, 4]\n[keys]\n"},
        {"# c\nstrip.position = [1, 1] # c\n", "# c\nstrip.position = [3, 4] # c\n"},
        {"[ strip ] # c\n", "[ strip ] # c\nposition = [3, 4]\n"},
        {"  [\"strip\"]\n  scale = 2 # c\n", "  [\"strip\"]\nposition = [3, 4]\n  scale = 2 # c\n"},
        {"\xEF\xBB\xBF# c\r\n[strip]\r\n", "\xEF\xBB\xBF# c\r\n[strip]\r\nposition = [3, 4]\r\n"},
        {"strip = { scale = 2 } # c\n", "strip = { scale = 2, position = [3, 4] } # c\n"},
        {"strip = {} # c\n", "strip = { position = [3, 4] } # c\n"},
        {"strip = { position = [1,1] } # c\n", "strip = { position = [3, 4] } # c\n"},
        {"[strip.x]\na = 1 # c\n[strip]\nscale = 2\n", "[strip.x]\na = 1 # c\n[strip]\nposition = [3, 4]\nscale = 2\n"},
        {"[strip.x] # c\na = 1", "[strip.x] # c\na = 1\n\n[strip]\nposition = [3, 4]\n"},
        {"[[trackmap]]\n[[strip]] # c\nscale = 2\n", ""},
        {"strip = 5 # c\n", ""},
        {"strip = [{ scale = 2 }] # c\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text, why;
        EXPECT_EQ(settings::applyEdits(&text, {settings::positionEdit(OverlayKind::Strip, 3, 4)}, &why),
                  !c.edited.empty());
        EXPECT_EQ(text, c.edited.empty() ? c.text : c.edited);
        EXPECT_EQ(why.empty(), !c.edited.empty()) << why;
    }
}

// The fuzzer's starting texts through its checks (it aborts on a fault):
// the sanitizer build catches here what the fuzzer would.
TEST(Settings, TheFuzzersSeedsReadAndEditSoundly)
{
    for (const std::string& seed : settingsSeeds())
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
}

TEST(ProgramSettings, AFirstStartCarriesTheOldFileOverOnce)
{
    ConfigHome home;
    // Long comments count for nothing: what a person writes is carried over.
    std::string notes;
    while (notes.size() < 100 * 1024)
        notes += "# a note kept in the old file by hand\n";
    home.write(notes + "overlay.position = 290,479\noverlay-varplot.position = 1, 2\nreference-laps = off\n"
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

    // A file larger than any written by hand is one line, and not read.
    ASSERT_EQ(::remove(home.file().c_str()), 0);
    home.write(std::string(1024 * 1024 + 1, '#'), "settings.conf");
    testing::internal::CaptureStderr();
    ProgramSettings third("prog");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "prog: " + home.folder() +
                                                          "/settings.conf is larger than 1048576 bytes; its settings "
                                                          "are not carried over\n");
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

    // A table that is not one place takes no edit: the file stays, one line says so.
    const std::string listed = "[[strip]] # mine\nscale = 2\n";
    home.write(listed);
    testing::internal::CaptureStderr();
    ProgramSettings e("e");
    e.store({settings::positionEdit(OverlayKind::Strip, 7, 8)});
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "e: settings file " + home.file() + ": strip is not a table; using the default\n" + "e: settings file " +
                  home.file() + ": strip is a list of [[strip]] tables, not one table; not saved: the window position\n");
    EXPECT_EQ(slurp(home.file()), listed);

    // Long comments are no reason to refuse a file; a file larger than any
    // written by hand is one line.
    std::string notes;
    while (notes.size() < 200 * 1024)
        notes += "# a note kept in the file by hand\n";
    home.write(notes + "[strip]\nposition = [1, 1]\n");
    ProgramSettings f("f");
    EXPECT_EQ(f.values().strip.x, 1);
    f.store({settings::positionEdit(OverlayKind::Strip, 5, 5)});
    EXPECT_EQ(slurp(home.file()), notes + "[strip]\nposition = [5, 5]\n");
    home.write(std::string(1024 * 1024 + 1, '#'));
    testing::internal::CaptureStderr();
    ProgramSettings g("g");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "g: " + home.file() + " is larger than 1048576 bytes; using the default settings\n");

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

TEST(ProgramSettings, AFileWithAPasswordIsMadeAndKeptReadableByItsOwnerOnly)
{
    ConfigHome home;
    home.write("[share]\npassword = \"hunter2\"\n");
    ASSERT_EQ(::chmod(home.file().c_str(), 0644), 0);
    testing::internal::CaptureStderr();
    ProgramSettings p("prog");
    p.store({settings::positionEdit(OverlayKind::Strip, 5, 6)});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "prog: settings file " + home.file() + " holds a password: made readable by you only\n");
    struct stat st {};
    ASSERT_EQ(::stat(home.file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(slurp(home.file()).find("position = [5, 6]"), std::string::npos) << "written, and still private";
    testing::internal::CaptureStderr();
    ProgramSettings again("prog");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
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
