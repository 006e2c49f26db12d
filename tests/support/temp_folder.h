// A fresh folder under the test temp folder, removed with its contents at the
// end of the test.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stdlib.h>

class TempFolder {
public:
    explicit TempFolder(const std::string& stem = "test")
    {
        std::string templ = ::testing::TempDir() + stem + "-XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()))
            path = buf.data();
        EXPECT_FALSE(path.empty()) << "cannot create a folder under " << ::testing::TempDir();
    }
    ~TempFolder()
    {
        if (!path.empty())
            std::system(("rm -rf '" + path + "'").c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path;
};
