#include "window_capture.h"

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "child_process.h"

namespace {

// ImageMagick 6's converter under its Debian name, which stays the same
// whichever ImageMagick version provides the plain `convert`.
const char* const kConvert = "/usr/bin/convert-im6.q16";

// An image ImageMagick reads (e.g. "xwd:-" after a pipe), as a binary PPM.
Picture convertToPicture(const std::string& image, const std::string& pipedFrom = "")
{
    Picture pic;
    const std::string ppm =
        shellOutput(pipedFrom + kConvert + " " + image + " -depth 8 ppm:- 2>/dev/null");
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

} // namespace

Picture captureWindow(const std::string& windowId)
{
    return convertToPicture("xwd:-", "xwd -silent -id " + windowId + " 2>/dev/null | ");
}

Picture captureScreen()
{
    const char* dir = std::getenv("OVERLAY_TEST_X");
    if (!dir)
        return Picture{};
    return convertToPicture("xwd:" + std::string(dir) + "/Xvfb_screen0");
}

std::string visibleWindow(const std::string& title, long pid)
{
    const std::string owner = pid > 0 ? " --pid " + std::to_string(pid) : "";
    std::string id = shellOutput("xdotool search --onlyvisible" + owner + " --name '^" + title +
                                 "$' 2>/dev/null | head -n 1");
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    return id;
}

std::string waitForWindow(const std::string& title, double seconds, long pid)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        std::string id = visibleWindow(title, pid);
        if (!id.empty() || std::chrono::steady_clock::now() > end)
            return id;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

Picture waitForStillPicture(const std::string& windowId, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Picture last = captureWindow(windowId);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Picture now = captureWindow(windowId);
        if (now.width > 0 && now == last)
            return now;
        last = now;
    }
    return Picture{};
}
