#include "desktop_session.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "window_capture.h"

namespace {

// Starts a program with its output discarded; file descriptors stay open.
pid_t spawn(const std::vector<std::string>& args)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// One line from a pipe, or what came before the time-out.
std::string readLine(int fd, int timeoutMs)
{
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (::read(fd, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    return line;
}

} // namespace

DesktopSession::DesktopSession()
{
    const char* old = std::getenv("DISPLAY");
    if (old) {
        oldDisplay = old;
        hadDisplay = true;
    }

    // Xvfb picks a free display number itself and writes it to the pipe.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "+extension", "GLX",
                  "+extension", "RENDER", "+extension", "Composite", "-nolisten", "tcp", "-noreset"});
    ::close(fds[1]);
    const std::string number = readLine(fds[0], 10000);
    ::close(fds[0]);
    if (number.empty())
        return;
    display = ":" + number;
    ::setenv("DISPLAY", display.c_str(), 1);

    wm = spawn({"openbox", "--sm-disable"});
    // The window manager is up once it has announced itself on the root.
    for (int i = 0; i < 100 && !managed; ++i) {
        managed = shellOutput("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") != std::string::npos;
        if (!managed)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    compositor = spawn({"xcompmgr"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

DesktopSession::~DesktopSession()
{
    for (long pid : {compositor, wm, xvfb}) {
        if (pid > 0) {
            ::kill(static_cast<pid_t>(pid), SIGTERM);
            ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
        }
    }
    if (hadDisplay)
        ::setenv("DISPLAY", oldDisplay.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
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
