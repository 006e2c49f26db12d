// A real window with a GL 3.3 context for the drawing tests, and read-back of
// its pixels.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FramelessDraggableWindow.h"

// Exposes the drag and key state that the library keeps protected.
class TestWindow : public Qvis::FramelessDraggableWindow {
public:
    using FramelessDraggableWindow::FramelessDraggableWindow;
    bool isDragging() const { return dragging; }
    int grabX() const { return pressCursorX; }
    int grabY() const { return pressCursorY; }
    bool keyHeld(int key) const { return keys[key]; }
    bool keyToggled(int key) const { return toggleKeys[key]; }
};

struct Rgb {
    int r, g, b;
};

// RGBA pixels of the back buffer, row 0 at the bottom, as GL stores them.
class Pixels {
public:
    Pixels(int width, int height);
    Rgb at(int x, int y) const;
    // True when every channel is within tol of the expected value.
    bool is(int x, int y, Rgb expected, int tol = 2) const;
    // Number of pixels in [x0, x1) x [y0, y1) that differ from `background`.
    int countNot(int x0, int y0, int x1, int y1, Rgb background, int tol = 8) const;
    int width() const { return w; }
    int height() const { return h; }
    const std::vector<unsigned char>& raw() const { return data; }

private:
    int w, h;
    std::vector<unsigned char> data;
};

// The byte a colour channel of 0..1 becomes.
int byteOf(float v);

class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the window that the test draws into; translucent and on top, as
    // views are, or opaque, which keeps four-sample multisampling.
    void openWindow(int width, int height, bool translucent = true);

    std::shared_ptr<TestWindow> window;
    // The background every test clears to: the throttle/brake view's grey.
    static constexpr float bg[4] = {0.25f, 0.25f, 0.25f, 0.75f};
};

// Runs a shell command and returns its exit status.
int run(const std::string& command);
