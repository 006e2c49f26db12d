#include "font.h"

#include <string>

#include <windows.h>

#include "resources.h"

namespace Qvis {

namespace {

bool isFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Arial in the Windows fonts folder, found from the Windows directory so that
// a system installed on another drive works too; the usual place when the
// directory cannot be read.
std::string windowsArial()
{
    char dir[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "C:/Windows/Fonts/Arial.ttf";
    return std::string(dir, n) + "\\Fonts\\Arial.ttf";
}

} // namespace

// Arial when the Windows fonts folder has it, else the Liberation Sans that
// ships with the programs, found as resources.h says (a fresh Wine prefix
// has no Arial). Resolved once; the text stays valid for the rest of the
// run. With neither file, the Arial path is returned: FreeType reports it as
// a font it cannot load, and the axes go without labels.
const char* defaultFontPath()
{
    static const std::string path = [] {
        const std::string arial = windowsArial();
        if (isFile(arial))
            return arial;
        const std::string bundled = findResource("LiberationSans-Regular.ttf");
        return bundled.empty() ? arial : bundled;
    }();
    return path.c_str();
}

} // namespace Qvis
