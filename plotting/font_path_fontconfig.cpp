#include "font.h"

#include <string>

#include <fontconfig/fontconfig.h>

namespace Qvis {

// Asks Fontconfig for the file of the face it substitutes for Arial (Liberation
// Sans on Debian, metric-compatible). Resolved once; the text stays valid for
// the rest of the run. Falls back to the Windows path, which FreeType then
// reports as a font it cannot load.
const char* defaultFontPath()
{
    static const std::string path = [] {
        std::string found = "C:/Windows/Fonts/Arial.ttf";
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
    }();
    return path.c_str();
}

} // namespace Qvis
