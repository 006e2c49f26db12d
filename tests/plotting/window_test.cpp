// The window on a real X server: drag by the grab point, Escape and key
// state driven with xdotool, the lock that lets the pointer through, and the
// one-line report when there is no display.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

#include <GLFW/glfw3.h>

#include "child_process.h"
#include "desktop_session.h"
#include "gl_fixture.h"
#include "temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs frames as the main loop does, so callbacks arrive through polling.
void pump(TestWindow& w, double seconds)
{
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        w.preLoopDraw(true);
        w.postLoopDraw();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs one xdotool command in a child process while the window keeps polling,
// then lets its events arrive (a step every 0.2 s, one poll at a time).
bool drive(TestWindow& w, const std::string& args)
{
    ChildProcess xdotool({"/bin/sh", "-c", "xdotool " + args}, "/dev/null", "/dev/null");
    if (!xdotool.started())
        return false;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (xdotool.running()) {
        pump(w, 0.02);
        if (Clock::now() > deadline) {
            xdotool.stop(SIGKILL);
            return false;
        }
    }
    pump(w, 0.2);
    return xdotool.exitStatus() == 0;
}

struct Point {
    int x, y;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

std::ostream& operator<<(std::ostream& os, const Point& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}

Point windowPos(TestWindow& w)
{
    Point p{};
    glfwGetWindowPos(w.getWindow(), &p.x, &p.y);
    return p;
}

Point cursorInWindow(TestWindow& w)
{
    double x = 0, y = 0;
    glfwGetCursorPos(w.getWindow(), &x, &y);
    return {static_cast<int>(x), static_cast<int>(y)};
}

std::string moveTo(Point p)
{
    return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y);
}

class WindowTest : public GlTest {
protected:
    // A window away from the screen's corner, where other tests' windows open.
    void place()
    {
        openWindow(200, 100);
        glfwSetWindowPos(window->getWindow(), 500, 400);
        pump(*window, 0.3);
        start = windowPos(*window);
    }
    Point start{};
};

} // namespace

TEST_F(WindowTest, DragKeepsTheGrabbedPointUnderTheCursor)
{
    place();
    ASSERT_EQ(start, (Point{500, 400}));
    Point grab{start.x + 50, start.y + 30};
    ASSERT_TRUE(drive(*window, moveTo(grab)));
    ASSERT_TRUE(drive(*window, "mousedown 1"));
    EXPECT_TRUE(window->isDragging());
    EXPECT_EQ((Point{window->grabX(), window->grabY()}), (Point{50, 30}));

    // Small steps, then a jump far outside the window (the pointer is grabbed).
    const Point steps[] = {{10, 5}, {90, 45}, {-250, 160}, {-240, 170}};
    for (Point d : steps) {
        ASSERT_TRUE(drive(*window, moveTo({grab.x + d.x, grab.y + d.y})));
        EXPECT_EQ(windowPos(*window), (Point{start.x + d.x, start.y + d.y})) << "step " << d;
        EXPECT_EQ(cursorInWindow(*window), (Point{50, 30})) << "step " << d;
    }

    ASSERT_TRUE(drive(*window, "mouseup 1"));
    EXPECT_FALSE(window->isDragging());
    EXPECT_EQ((Point{window->grabX(), window->grabY()}), (Point{0, 0}));
    Point released = windowPos(*window);
    ASSERT_TRUE(drive(*window, "mousemove_relative -- 40 20"));
    EXPECT_EQ(windowPos(*window), released);
}

TEST_F(WindowTest, RightAndMiddleButtonsNeverDrag)
{
    place();
    Point grab{start.x + 100, start.y + 50};
    for (int button : {3, 2}) {
        ASSERT_TRUE(drive(*window, moveTo(grab)));
        ASSERT_TRUE(drive(*window, "mousedown " + std::to_string(button)));
        EXPECT_FALSE(window->isDragging());
        ASSERT_TRUE(drive(*window, moveTo({grab.x + 60, grab.y + 30})));
        ASSERT_TRUE(drive(*window, "mouseup " + std::to_string(button)));
        EXPECT_EQ(windowPos(*window), start) << "button " << button;
    }
}

TEST_F(WindowTest, EscapeClosesAndKeysAreRecorded)
{
    place();
    ASSERT_TRUE(drive(*window, moveTo({start.x + 100, start.y + 50})));
    EXPECT_FALSE(glfwWindowShouldClose(window->getWindow()));

    // A held key that repeats flips its toggle once.
    ASSERT_TRUE(drive(*window, "keydown a"));
    EXPECT_TRUE(window->keyHeld(GLFW_KEY_A));
    pump(*window, 0.8);
    ASSERT_TRUE(drive(*window, "keyup a"));
    EXPECT_FALSE(window->keyHeld(GLFW_KEY_A));
    EXPECT_TRUE(window->keyToggled(GLFW_KEY_A));

    ASSERT_TRUE(drive(*window, "key Escape"));
    EXPECT_TRUE(glfwWindowShouldClose(window->getWindow()));
    EXPECT_FALSE(window->keyHeld(GLFW_KEY_ESCAPE));
    EXPECT_TRUE(window->keyToggled(GLFW_KEY_ESCAPE));
    ASSERT_TRUE(drive(*window, "key Escape"));
    EXPECT_FALSE(window->keyToggled(GLFW_KEY_ESCAPE));
}

// Locked, a click and a drag over the window reach the window below it, also
// after hiding and showing; unlocked, the window takes them again. On a
// desktop with a window manager, which puts each window in a frame of its own.
TEST(LockedWindow, LetsThePointerThroughUntilUnlocked)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    struct GlfwOnTheSessionsDisplay {
        GlfwOnTheSessionsDisplay() { glfwTerminate(); }
        ~GlfwOnTheSessionsDisplay() { glfwTerminate(); }
    } glfw;
    TempFolder dir("lock");
    LoggingWindow below(dir.path(), "below", 100, 100, 600, 400);
    ASSERT_FALSE(below.id().empty());
    TestWindow w(200, 100, true, true);
    glfwSetWindowPos(w.getWindow(), 300, 250);
    pump(w, 0.5);

    w.setLocked(true);
    w.hideWindow();
    pump(w, 0.3);
    w.showWindow();
    pump(w, 0.5);
    ASSERT_TRUE(w.isLocked());
    const Point start = windowPos(w);
    ASSERT_TRUE(drive(w, "mousemove 400 300 click 1"));
    EXPECT_EQ(below.clicks(), 1) << "the click stayed with the locked window";
    ASSERT_TRUE(drive(w, "mousedown 1"));
    ASSERT_TRUE(drive(w, "mousemove_relative -- 60 40"));
    ASSERT_TRUE(drive(w, "mouseup 1"));
    EXPECT_EQ(windowPos(w), start) << "a locked window was dragged";
    EXPECT_EQ(below.clicks(), 2);
    EXPECT_TRUE(below.hasFocus()) << "the click gave the keyboard to the locked window";

    w.setLocked(false);
    ASSERT_TRUE(drive(w, "mousemove 400 300 click 1"));
    ASSERT_TRUE(drive(w, "mousedown 1"));
    ASSERT_TRUE(drive(w, "mousemove_relative -- 60 40"));
    ASSERT_TRUE(drive(w, "mouseup 1"));
    EXPECT_EQ(below.clicks(), 2) << "a click went through the unlocked window";
    EXPECT_EQ(windowPos(w), (Point{start.x + 60, start.y + 40})) << "the unlocked window was not dragged";
}

TEST(WindowFailure, WithoutADisplayOneLineNamesTheProblemAndTheProgramStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            dup2(2, 1); // the report goes to standard output
            Qvis::Window w(100, 100, true, true);
        },
        testing::ExitedWithCode(1), "qvis: cannot initialise GLFW: X11: [^\n]*DISPLAY[^\n]*\n");
}
