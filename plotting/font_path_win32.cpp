#include "font.h"

#include <string>

#include <windows.h>

namespace Qvis {

// Arial in the Windows fonts folder, found from the Windows directory so that
// a system installed on another drive works too. Resolved once; the text stays
// valid for the rest of the run. When the directory cannot be read the usual
// place is tried; a missing file is reported by FreeType and leaves the axes
// without labels.
const char* defaultFontPath()
{
    static const std::string path = [] {
        char dir[MAX_PATH];
        const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return std::string("C:/Windows/Fonts/Arial.ttf");
        return std::string(dir, n) + "\\Fonts\\Arial.ttf";
    }();
    return path.c_str();
}

} // namespace Qvis
