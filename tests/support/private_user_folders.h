// Points the user's configuration, data, state and runtime folders at a
// temporary folder for the whole test program, so that neither the code under
// test nor the programs it starts read or write the real user's settings,
// kept files and log, or take the user's one-running-copy lock. The programs'
// messages stay on the standard error the tests read, never in a log file.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

class PrivateUserFolders : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string templ = ::testing::TempDir() + "user-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        ASSERT_NE(::mkdtemp(buf.data()), nullptr);
        path = buf.data();
        ::setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (path + "/data").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (path + "/state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (path + "/runtime").c_str(), 1);
        ::setenv("TELEMETRY_OVERLAY_NO_LOG_FILE", "1", 1);
    }
    void TearDown() override
    {
        if (!path.empty())
            std::system(("rm -rf '" + path + "'").c_str());
    }

private:
    std::string path;
};

inline ::testing::Environment* const privateUserFolders =
    ::testing::AddGlobalTestEnvironment(new PrivateUserFolders);
