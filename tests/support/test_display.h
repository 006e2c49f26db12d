#pragma once
// The X display that tests which open windows draw on.

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

// Points DISPLAY at the display the test should use and returns "", or returns
// why there is none. Under ctest (OVERLAY_TEST_X names the x_server fixture's
// folder) that is always the suite's private Xvfb with its compositor, never the
// desktop the developer happens to sit at; a test binary run by hand uses DISPLAY.
inline std::string useTestDisplay()
{
    if (const char* dir = std::getenv("OVERLAY_TEST_X")) {
        std::ifstream in(std::string(dir) + "/display");
        std::string number;
        if (in >> number) {
            ::setenv("DISPLAY", (":" + number).c_str(), 1);
            return "";
        }
        return "the suite's private X server is not running (Xvfb and xcompmgr come with "
               "scripts/install-deps)";
    }
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        return "";
    return "no X display: run the tests with ctest, or this program under scripts/with-x";
}

// Skips the current test when there is no display to draw on.
#define REQUIRE_TEST_DISPLAY()                                                           \
    do {                                                                                 \
        const std::string whyNoDisplay = useTestDisplay();                               \
        if (!whyNoDisplay.empty())                                                       \
            GTEST_SKIP() << whyNoDisplay;                                                \
    } while (0)
