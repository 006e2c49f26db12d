// Windows of programs under test, seen from outside through the X tools:
// finding a window by its title and capturing its own pixels.
#pragma once

#include <string>
#include <vector>

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

// The window's own pixels, through xwd and ImageMagick as a binary PPM;
// an empty picture when the capture fails.
Picture captureWindow(const std::string& windowId);

// The whole screen of the suite's own X server as it is shown, translucent
// windows blended by the compositor over what lies beneath them; an empty
// picture elsewhere.
Picture captureScreen();

// Id of the visible window with this title, or empty when there is none;
// with a process id, only that process's window (tests running side by side
// may show windows of the same title).
std::string visibleWindow(const std::string& title, long pid = 0);

// Waits up to `seconds` for a visible window with this title.
std::string waitForWindow(const std::string& title, double seconds, long pid = 0);

// The window's picture once it stands still (a replay has ended): two
// captures half a second apart agree. Empty when it still moves after
// `seconds`.
Picture waitForStillPicture(const std::string& windowId, double seconds);
