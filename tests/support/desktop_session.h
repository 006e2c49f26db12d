// A desktop of its own for one test, as a driver has one: a private X server
// (Xvfb, Mesa's software GL, started by private-x) with a real window
// manager (openbox) and a compositor (xcompmgr), so that stacking, window
// states and placement are the window manager's. DISPLAY points at it while
// the session lives.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "wait_until.h"

#include "test_display.h"

class ChildProcess;
class TempFolder;

class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // True once the X server runs and the window manager has announced
    // itself; else whyNot() says why.
    bool ready() const { return !display.empty(); }
    const std::string& whyNot() const { return why; }
    const std::string& displayName() const { return display; }

    // Ends the X server at once, as when it crashes or its machine's session ends.
    void endXServer();

private:
    std::unique_ptr<TempFolder> folder;
    std::string display;
    std::string why;
    std::string oldDisplay;
    bool hadDisplay = false;
};

// Fails the test (or skips it, see test_display.h) when the session has no desktop.
#define REQUIRE_DESKTOP(session)                                                         \
    do {                                                                                 \
        if (!(session).ready())                                                          \
            DISPLAY_MISSING((session).whyNot());                                         \
    } while (0)

// The window that has the keyboard (X's input focus), as a decimal id.
std::string focusedWindow();

// The window the window manager marks active (_NET_ACTIVE_WINDOW), as a
// decimal id; "0" when there is none.
std::string activeWindow();

// A window of xev's on the desktop, which stands in for the simulator: it
// takes the keyboard when activated and counts the clicks it receives.
class LoggingWindow {
public:
    // Opens it at the given place and waits until it is shown; its log is
    // folder/TITLE.log.
    LoggingWindow(const std::string& folder, const std::string& title, int x, int y, int width, int height);
    ~LoggingWindow();

    // Its decimal id, empty when it never appeared.
    const std::string& id() const { return windowId; }
    // Activates it and waits until the window manager says so; false if it never did.
    bool activate();
    // Whether it has the keyboard: the input focus, and the window manager's active window.
    bool hasFocus() const;
    // Button presses received so far.
    int clicks() const;

private:
    std::string log;
    std::unique_ptr<ChildProcess> xev;
    std::string windowId;
};

// Where a window's content stands on the screen.
struct Place {
    int x = -1, y = -1;
    bool operator==(const Place& o) const { return x == o.x && y == o.y; }
};
std::ostream& operator<<(std::ostream& os, const Place& p);
Place placeOf(const std::string& windowId);

// Whether the window is mapped and shows.
bool isViewable(const std::string& windowId);

// A drag as a hand makes it: press inside the window at (60, 30), move by
// (dx, dy) in steps a poll apart, release.
void drag(const std::string& windowId, int dx, int dy);

