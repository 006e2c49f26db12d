// The display requirement of tests that open windows: one way to tell, and
// one way to skip, when there is no X server to draw on.
#pragma once

#include <gtest/gtest.h>

// True when DISPLAY names an X server to connect to.
bool haveDisplay();

// Skips the current test (from a test body or a fixture's SetUp) without a display.
#define SKIP_WITHOUT_DISPLAY()                                                   \
    do {                                                                         \
        if (!haveDisplay())                                                      \
            GTEST_SKIP() << "no X display; run the tests under scripts/with-x"; \
    } while (0)
