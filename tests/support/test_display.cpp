#include "test_display.h"

#include <cstdlib>
#include <fstream>

std::string useTestDisplay()
{
    if (const char* dir = std::getenv("OVERLAY_TEST_X")) {
        std::ifstream in(std::string(dir) + "/display");
        std::string number;
        if (in >> number) {
            ::setenv("DISPLAY", (":" + number).c_str(), 1);
            return "";
        }
        return "the suite's private X server is not running (Xvfb and xcompmgr come with "
               "scripts/install-deps)";
    }
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        return "";
    return "no X display: run the tests with ctest, or this program under scripts/with-x";
}
