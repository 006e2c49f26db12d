#include "font.h"

#include <string>

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include "resources.h"

namespace Qvis {

namespace {

// The file of the face Fontconfig substitutes for Arial (Liberation Sans on
// Debian, metric-compatible); empty when it has none.
std::string fontconfigArial()
{
    std::string found;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config)
        return found;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial:style=Regular"));
    if (pattern) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        if (match) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                found = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
}

} // namespace

// Fontconfig's face for Arial; on a system without fonts, the Liberation Sans
// that comes with the portable archive, found as resources.h says. Resolved
// once; the text stays valid for the rest of the run. With neither, the
// Windows path, which FreeType then reports as a font it cannot load.
const char* defaultFontPath()
{
    static const std::string path = [] {
        const std::string system = fontconfigArial();
        if (!system.empty() && ::access(system.c_str(), R_OK) == 0)
            return system;
        const std::string bundled = findResource("LiberationSans-Regular.ttf");
        return bundled.empty() ? std::string("C:/Windows/Fonts/Arial.ttf") : bundled;
    }();
    return path.c_str();
}

} // namespace Qvis
