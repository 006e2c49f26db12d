// A real window with a GL 3.3 context for the drawing tests; the read-back
// of its pixels is in the test support library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FramelessDraggableWindow.h"
#include "pixels.h"

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

// The byte a colour channel of 0..1 becomes.
int byteOf(float v);

class GlTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the window that the test draws into; translucent and on top, as views are.
    void openWindow(int width, int height);

    std::shared_ptr<TestWindow> window;
    // The background every test clears to: the throttle/brake view's grey.
    static constexpr float bg[4] = {0.25f, 0.25f, 0.25f, 0.75f};
};
