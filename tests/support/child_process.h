// Runs programs and X tools from tests: a child process in a folder with its
// output in files, shell commands with their output, and window captures.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

// Output of a shell command (standard output only) and its exit status.
inline std::string shellOutput(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int st = ::pclose(p);
    if (status)
        *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A child process started in a folder, its standard output and error in files.
class ChildProcess {
public:
    ChildProcess(const std::string& folder, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {})
        : outPath(folder + "/stdout.txt")
        , errPath(folder + "/stderr.txt")
    {
        pid = ::fork();
        if (pid == 0) {
            if (::chdir(folder.c_str()) != 0)
                ::_exit(127);
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(err, 2);
            for (const std::string& e : env)
                ::putenv(const_cast<char*>(e.c_str()));
            std::vector<char*> argv;
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    ~ChildProcess()
    {
        if (running())
            stop(SIGKILL);
    }

    bool running()
    {
        if (exited)
            return false;
        int st = 0;
        if (::waitpid(pid, &st, WNOHANG) == pid) {
            exited = true;
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return false;
        }
        return true;
    }

    // Waits for the exit; false if the child is still running after `seconds`.
    bool waitExit(double seconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (running()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    void stop(int sig)
    {
        ::kill(pid, sig);
        waitExit(10);
        if (running()) {
            ::kill(pid, SIGKILL);
            waitExit(5);
        }
    }

    int exitStatus() const { return status; }
    std::string out() const { return readFile(outPath); }
    std::string err() const { return readFile(errPath); }

private:
    std::string outPath;
    std::string errPath;
    pid_t pid = -1;
    bool exited = false;
    int status = -1;
};

// An RGB picture, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    struct Pixel {
        int r, g, b;
    };
    Pixel at(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    bool operator==(const Picture& o) const { return width == o.width && height == o.height && rgb == o.rgb; }
};

// The window's own pixels, through xwd and ImageMagick as a binary PPM.
inline Picture captureWindow(const std::string& windowId)
{
    Picture pic;
    const std::string ppm =
        shellOutput("xwd -silent -id " + windowId + " 2>/dev/null | /usr/bin/convert-im6.q16 xwd:- -depth 8 ppm:- 2>/dev/null");
    std::istringstream in(ppm);
    // Header tokens, skipping the comment lines ImageMagick writes.
    auto token = [&in]() {
        std::string t;
        while (in >> t && t[0] == '#')
            std::getline(in, t);
        return t;
    };
    const std::string magic = token();
    pic.width = std::atoi(token().c_str());
    pic.height = std::atoi(token().c_str());
    const int maxval = std::atoi(token().c_str());
    in.get();
    if (magic != "P6" || maxval != 255 || pic.width <= 0 || pic.height <= 0)
        return Picture{};
    pic.rgb.resize(static_cast<size_t>(pic.width) * pic.height * 3);
    in.read(reinterpret_cast<char*>(pic.rgb.data()), static_cast<std::streamsize>(pic.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(pic.rgb.size()))
        return Picture{};
    return pic;
}

// Id of the visible window with this title, or empty when there is none.
inline std::string visibleWindow(const std::string& title)
{
    std::string id = shellOutput("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null | head -n 1");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

// Waits up to `seconds` for a visible window with this title.
inline std::string waitForWindow(const std::string& title, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        std::string id = visibleWindow(title);
        if (!id.empty() || std::chrono::steady_clock::now() > end)
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}
