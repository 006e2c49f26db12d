#include "WindowPlacement.h"

#include <cerrno>
#include <cstdlib>

#include "window.h"

namespace {

// One whole number in int range at *p, which moves past it.
bool parseInt(const char*& p, int* out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno != 0 || v < -1000000 || v > 1000000)
        return false;
    *out = static_cast<int>(v);
    p = end;
    return true;
}

} // namespace

bool parsePosition(const std::string& text, int* x, int* y)
{
    const char* p = text.c_str();
    int px = 0, py = 0;
    if (!parseInt(p, &px))
        return false;
    while (*p == ' ')
        ++p;
    if (*p++ != ',')
        return false;
    if (!parseInt(p, &py))
        return false;
    while (*p == ' ')
        ++p;
    if (*p != '\0')
        return false;
    *x = px;
    *y = py;
    return true;
}

std::string formatPosition(int x, int y)
{
    return std::to_string(x) + "," + std::to_string(y);
}

std::string positionKey(const char* program)
{
    return std::string(program) + ".position";
}

void restoreWindowPosition(ProgramSettings& settings)
{
    const std::string key = positionKey(settings.program());
    const std::string* value = settings.get(key);
    if (!value)
        return;
    int x = 0, y = 0;
    if (!parsePosition(*value, &x, &y)) {
        settings.reportBadValue(key, "a position \"X,Y\"");
        return;
    }
    Qvis::Window::setNextPosition(x, y);
}
