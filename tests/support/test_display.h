#pragma once
// The X display that tests which open windows draw on: one way to find it,
// and one way to skip when there is none.

#include <string>

#include <gtest/gtest.h>

// Points DISPLAY at the display the test should use and returns "", or returns
// why there is none. Under ctest (OVERLAY_TEST_X names the x_server fixture's
// folder) that is always the suite's private Xvfb with its compositor, never the
// desktop the developer happens to sit at; a test binary run by hand uses DISPLAY.
std::string useTestDisplay();

// Skips the current test when there is no display to draw on.
#define REQUIRE_TEST_DISPLAY()                                                           \
    do {                                                                                 \
        const std::string whyNoDisplay = useTestDisplay();                               \
        if (!whyNoDisplay.empty())                                                       \
            GTEST_SKIP() << whyNoDisplay;                                                \
    } while (0)
