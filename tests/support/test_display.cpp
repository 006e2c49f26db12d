#include "test_display.h"

#include <cstdlib>
#include <fstream>

std::string useTestDisplay()
{
    if (const char* dir = std::getenv("OVERLAY_TEST_X")) {
        std::ifstream in(std::string(dir) + "/display");
        std::string number;
        if (in >> number) {
#ifdef _WIN32
            // Under Wine the X display was taken from DISPLAY when the process
            // started; this keeps the variable in step for child processes.
            _putenv_s("DISPLAY", (":" + number).c_str());
#else
            ::setenv("DISPLAY", (":" + number).c_str(), 1);
#endif
            return "";
        }
        return "the folder's private X server is not running (see the output of its x_server_start test)";
    }
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        return "";
    return "no X display: run the tests with ctest, or this program under scripts/with-x";
}

bool skipWithoutDisplay()
{
    const char* skip = std::getenv("OVERLAY_TEST_SKIP_WITHOUT_DISPLAY");
    return skip && std::string(skip) == "1";
}
