// Points the user's configuration and data folders at a temporary folder for
// the whole test program, so that neither the code under test nor the
// programs it starts read or write the real user's settings and kept files.
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
