#include "desktop_session.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "child_process.h"
#include "temp_folder.h"
#include "window_capture.h"

DesktopSession::DesktopSession() : folder(new TempFolder("desktop"))
{
    const char* old = std::getenv("DISPLAY");
    if (old) {
        oldDisplay = old;
        hadDisplay = true;
    }
    int status = 0;
    const std::string output =
        shellOutput(std::string(PRIVATE_X) + " start '" + folder->path() + "' --window-manager --owner " +
                        std::to_string(::getpid()) + " 2>&1",
                    &status);
    std::ifstream in(folder->file("display"));
    std::string number;
    if (status != 0 || !(in >> number)) {
        why = output.empty() ? "no Xvfb with openbox could be started" : output.substr(0, output.find('\n'));
        return;
    }
    display = ":" + number;
    ::setenv("DISPLAY", display.c_str(), 1);
}

DesktopSession::~DesktopSession()
{
    shellOutput(std::string(PRIVATE_X) + " stop '" + folder->path() + "'");
    if (hadDisplay)
        ::setenv("DISPLAY", oldDisplay.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

void DesktopSession::endXServer()
{
    std::ifstream in(folder->file("pids"));
    long xvfb = 0;
    if (in >> xvfb && xvfb > 0)
        ::kill(static_cast<pid_t>(xvfb), SIGKILL);
}

std::string focusedWindow()
{
    std::string id = shellOutput("xdotool getwindowfocus -f 2>/dev/null");
    return id.substr(0, id.find('\n'));
}

std::string activeWindow()
{
    const std::string out = shellOutput("xprop -root _NET_ACTIVE_WINDOW 2>/dev/null");
    const size_t hash = out.find("# 0x");
    return hash == std::string::npos ? "0" : std::to_string(std::stoul(out.substr(hash + 2), nullptr, 16));
}

LoggingWindow::LoggingWindow(const std::string& folder, const std::string& title, int x, int y, int width,
                             int height)
    : log(folder + "/" + title + ".log")
{
    const std::string geometry =
        std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" + std::to_string(y);
    xev = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/xev", "-name", title, "-geometry", geometry},
                                         log, "/dev/null");
    windowId = waitForWindow(title, 20);
}

LoggingWindow::~LoggingWindow() = default;

bool LoggingWindow::activate()
{
    shellOutput("xdotool windowactivate --sync " + windowId + " >/dev/null 2>&1");
    for (int i = 0; i < 50 && !hasFocus(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return hasFocus();
}

bool LoggingWindow::hasFocus() const
{
    return !windowId.empty() && focusedWindow() == windowId && activeWindow() == windowId;
}

int LoggingWindow::clicks() const
{
    std::ifstream in(log);
    std::string line;
    int n = 0;
    while (std::getline(in, line))
        n += line.rfind("ButtonPress event", 0) == 0;
    return n;
}

std::ostream& operator<<(std::ostream& os, const Place& p)
{
    return os << p.x << "," << p.y;
}

Place placeOf(const std::string& id)
{
    Place p;
    std::istringstream in(shellOutput("xwininfo -id " + id + " 2>/dev/null"));
    std::string line;
    while (std::getline(in, line)) {
        std::sscanf(line.c_str(), "  Absolute upper-left X: %d", &p.x);
        std::sscanf(line.c_str(), "  Absolute upper-left Y: %d", &p.y);
    }
    return p;
}

bool isViewable(const std::string& id)
{
    return shellOutput("xwininfo -id " + id + " 2>/dev/null").find("Map State: IsViewable") != std::string::npos;
}

void drag(const std::string& id, int dx, int dy)
{
    shellOutput("xdotool mousemove --window " + id + " 60 30; sleep 0.2; xdotool mousedown 1; sleep 0.2");
    for (int i = 0; i < 5; ++i)
        shellOutput("xdotool mousemove_relative -- " + std::to_string(dx / 5) + " " + std::to_string(dy / 5) +
                    "; sleep 0.2");
    shellOutput("xdotool mouseup 1; sleep 0.3");
}
