// The user's folders, small-file reads, the atomic replace of a file
// (including a writer killed in the middle of its write, links and
// permissions) and what killed writers leave behind.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "UserFiles.h"
#include "temp_folder.h"

namespace {

// Sets or unsets an environment variable for one test and puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name)
    {
        const char* old = std::getenv(name);
        hadOld = old != nullptr;
        if (old)
            oldValue = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (hadOld)
            ::setenv(name, oldValue.c_str(), 1);
        else
            ::unsetenv(name);
    }

private:
    const char* name;
    bool hadOld = false;
    std::string oldValue;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    return names;
}

} // namespace

TEST(UserFolders, FollowTheXdgVariablesAndFallBackToTheHomeFolder)
{
    struct Case {
        const char* xdg;
        const char* home;
        const char* config;
    };
    // Unset, empty and relative XDG values all mean "use the default".
    const Case cases[] = {
        {"/x/conf", "/home/u", "/x/conf/telemetry-overlay"},
        {"/x/conf/", "/home/u", "/x/conf/telemetry-overlay"},
        {nullptr, "/home/u", "/home/u/.config/telemetry-overlay"},
        {"", "/home/u", "/home/u/.config/telemetry-overlay"},
        {"relative/conf", "/home/u", "/home/u/.config/telemetry-overlay"},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        std::string error;
        EXPECT_EQ(userfiles::configFolder(&error), c.config) << (c.xdg ? c.xdg : "(unset)");
    }

    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", "/home/u");
    std::string error;
    EXPECT_EQ(userfiles::dataFolder(&error), "/home/u/.local/share/telemetry-overlay");
    ScopedEnv data2("XDG_DATA_HOME", "/d");
    EXPECT_EQ(userfiles::dataFolder(&error), "/d/telemetry-overlay");
}

TEST(UserFiles, ReadTellsAMissingFileFromOneThatCannotBeRead)
{
    TempFolder dir("userfiles");
    std::string text, error;
    EXPECT_EQ(userfiles::readFile(dir.path() + "/none", 100, &text, &error), userfiles::ReadStatus::Missing);

    put(dir.path() + "/small", "abc");
    EXPECT_EQ(userfiles::readFile(dir.path() + "/small", 100, &text, &error), userfiles::ReadStatus::Ok);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(userfiles::readFile(dir.path() + "/small", 3, &text, &error), userfiles::ReadStatus::Ok);

    EXPECT_EQ(userfiles::readFile(dir.path() + "/small", 2, &text, &error), userfiles::ReadStatus::Failed);
    EXPECT_NE(error.find("larger than 2 bytes"), std::string::npos) << error;

    error.clear();
    EXPECT_EQ(userfiles::readFile(dir.path(), 100, &text, &error), userfiles::ReadStatus::Failed);
    EXPECT_NE(error.find(dir.path()), std::string::npos) << error;

    // Nothing but a regular file is read, and opening one never waits: a
    // FIFO without a writer would block for ever, a device never ends.
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(userfiles::readFile(path, 100, &text, &error), userfiles::ReadStatus::Failed) << path;
        EXPECT_EQ(error, "cannot read " + path + ": not a regular file");
    }
}

TEST(UserFiles, AtomicWriteCreatesTheFoldersReplacesAndLeavesNoTemporaryFile)
{
    TempFolder dir("userfiles");
    const std::string folder = dir.path() + "/a/b";
    const std::string file = folder + "/settings.conf";
    std::string error;
    ASSERT_TRUE(userfiles::writeFileAtomically(file, "first\n", &error)) << error;
    EXPECT_EQ(slurp(file), "first\n");
    ASSERT_TRUE(userfiles::writeFileAtomically(file, "second\n", &error)) << error;
    EXPECT_EQ(slurp(file), "second\n");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"settings.conf"});

    struct stat st {};
    ASSERT_EQ(::stat((dir.path() + "/a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "new folders are the user's own";
}

TEST(UserFiles, FailedWriteLeavesWhatWasThere)
{
    TempFolder dir("userfiles");
    std::string error;
    // The folder is a file: nothing can be written below it.
    put(dir.path() + "/plain", "keep");
    EXPECT_FALSE(userfiles::writeFileAtomically(dir.path() + "/plain/settings.conf", "x", &error));
    EXPECT_NE(error.find("plain"), std::string::npos) << error;
    EXPECT_EQ(slurp(dir.path() + "/plain"), "keep");

    // The target is a folder: the rename fails and the temporary file goes.
    ASSERT_EQ(::mkdir((dir.path() + "/target").c_str(), 0700), 0);
    error.clear();
    EXPECT_FALSE(userfiles::writeFileAtomically(dir.path() + "/target", "x", &error));
    EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
    EXPECT_EQ(namesIn(dir.path()).size(), 2u);
}

// A writer killed at any moment leaves either the old file or a whole new
// one: never a mix, never a short file.
TEST(UserFiles, WriterKilledMidWriteNeverLeavesAPartFile)
{
    TempFolder dir("userfiles");
    const std::string file = dir.path() + "/laps.bin";
    const std::string old = "old contents\n";
    put(file, old);
    const std::string a(4 << 20, 'a');
    const std::string b(4 << 20, 'b');

    for (int round = 0; round < 8; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::string error;
            for (int i = 0;; ++i)
                userfiles::writeFileAtomically(file, i % 2 ? a : b, &error);
        }
        ::usleep(static_cast<useconds_t>(3000 + 7000 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = slurp(file);
        EXPECT_TRUE(now == old || now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

// A link is written through to its file, which keeps its permissions; a
// read-only file is left alone.
TEST(UserFiles, AtomicWriteGoesThroughLinksKeepsPermissionsAndLeavesReadOnlyFiles)
{
    TempFolder dir("userfiles");
    const std::string target = dir.path() + "/real/settings.conf", link = dir.path() + "/settings.conf";
    ASSERT_EQ(::mkdir((dir.path() + "/real").c_str(), 0700), 0);
    put(target, "old\n");
    ASSERT_TRUE(::chmod(target.c_str(), 0600) == 0 && ::symlink("real/settings.conf", link.c_str()) == 0);
    std::string error;
    ASSERT_TRUE(userfiles::writeFileAtomically(link, "new\n", &error)) << error;
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link became a file";
    EXPECT_EQ(slurp(target), "new\n");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // A link to a file not made yet makes it.
    const std::string dangling = dir.path() + "/laps.bin";
    ASSERT_EQ(::symlink("real/laps.bin", dangling.c_str()), 0);
    ASSERT_TRUE(userfiles::writeFileAtomically(dangling, "laps", &error)) << error;
    EXPECT_EQ(slurp(dir.path() + "/real/laps.bin"), "laps");

    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    EXPECT_FALSE(userfiles::writeFileAtomically(link, "newer\n", &error));
    EXPECT_EQ(error, target + " is read-only");
    EXPECT_EQ(slurp(target), "new\n");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// Only temporaries of the named files, by the name only our writer gives
// them, old enough that their writer is gone, only while no writer holds the
// lock, and never beside the file a settings link leads to.
TEST(UserFiles, StaleTemporariesGoOnlyWhenOursOldAndUnlocked)
{
    TempFolder dir("userfiles");
    const std::string folder = dir.path(), lock = folder + "/files.lock";
    const std::string ours = userfiles::kTemporaryInfix;
    auto make = [&](const std::string& name, int ageMinutes) {
        put(folder + "/" + name, "x");
        std::filesystem::last_write_time(folder + "/" + name, std::filesystem::file_time_type::clock::now() -
                                                                  std::chrono::minutes(ageMinutes));
    };
    make("settings.conf", 60);
    make("settings.conf" + ours + "aB3xY9", 60); // a killed writer's: goes
    make("settings.conf" + ours + "Qq7Rr2", 1);  // perhaps a live writer's: stays
    make("settings.conf.backup", 60);            // the user's own
    make("settings.conf.before", 60);
    make("settings.conf" + ours + "aB3-Y9", 60);
    make("other.conf" + ours + "aB3xY9", 60);    // another file's
    make("a@b.lap" + ours + "Zz0Zz0", 60);
    make("a@b.lap.backup", 60);
    make("a@b.lap", 60);

    {
        const userfiles::FileLock writer(lock, 0);
        ASSERT_TRUE(writer.held()) << writer.error();
        userfiles::removeStaleTemporaries(folder + "/settings.conf", lock);
        EXPECT_EQ(namesIn(folder).size(), 11u) << "removed while a writer holds the lock";
        const userfiles::FileLock other(lock, 50);
        EXPECT_FALSE(other.held());
        EXPECT_EQ(other.error(), lock + " is held by another program");
    }
    // Settings kept elsewhere through a link: that folder is not ours to sweep.
    TempFolder linkDir("userfiles-link");
    const std::string link = linkDir.path() + "/settings.conf";
    ASSERT_EQ(::symlink((folder + "/settings.conf").c_str(), link.c_str()), 0);
    userfiles::removeStaleTemporaries(link, linkDir.path() + "/files.lock");
    EXPECT_EQ(namesIn(folder).size(), 11u) << "swept the folder a link leads to";

    userfiles::removeStaleTemporaries(folder + "/settings.conf", lock);
    userfiles::removeStaleTemporaries(folder + "/*.lap", lock);
    std::vector<std::string> left = namesIn(folder);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a@b.lap", "a@b.lap.backup", "files.lock", "other.conf" + ours + "aB3xY9",
                                              "settings.conf", "settings.conf.backup", "settings.conf.before",
                                              "settings.conf" + ours + "Qq7Rr2", "settings.conf" + ours + "aB3-Y9"}));
}
