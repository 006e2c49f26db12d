#pragma once
// The X display that tests which open windows draw on: one way to find it,
// and one way to fail, or skip when asked to, when there is none.

#include <string>

#include <gtest/gtest.h>

// Points DISPLAY at the display the test should use and returns "", or returns
// why there is none. Under ctest (OVERLAY_TEST_X names the folder of its
// x_server fixture) that is always the folder's private Xvfb with its
// compositor, never the desktop the developer happens to sit at; a test binary
// run by hand uses DISPLAY.
std::string useTestDisplay();

// Whether OVERLAY_TEST_SKIP_WITHOUT_DISPLAY=1 asks for tests that cannot draw
// to skip rather than fail.
bool skipWithoutDisplay();

// A test that cannot draw fails, saying why, unless asked to skip instead: a
// suite that draws nothing must never look as if it passed.
#define DISPLAY_MISSING(why)                                                             \
    do {                                                                                 \
        if (skipWithoutDisplay())                                                        \
            GTEST_SKIP() << (why);                                                       \
        else                                                                             \
            FAIL() << (why);                                                             \
    } while (0)

#define REQUIRE_TEST_DISPLAY()                                                           \
    do {                                                                                 \
        const std::string whyNoDisplay = useTestDisplay();                               \
        if (!whyNoDisplay.empty())                                                       \
            DISPLAY_MISSING(whyNoDisplay);                                               \
    } while (0)
