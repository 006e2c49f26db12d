// A desktop of its own for one test, as a driver has one: a private X server
// (Xvfb, Mesa's software GL) with a real window manager (openbox) and a
// compositor (xcompmgr), so that stacking, window states and placement are
// the window manager's. DISPLAY points at it while the session lives.
#pragma once

#include <string>

class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // True once the X server runs and the window manager has announced itself.
    bool ready() const { return !display.empty() && managed; }
    const std::string& displayName() const { return display; }

private:
    std::string display;
    long xvfb = -1;
    long wm = -1;
    long compositor = -1;
    bool managed = false;
    std::string oldDisplay;
    bool hadDisplay = false;
};
