#include "display.h"

#include <cstdlib>

bool haveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}
