// Reads the input as a settings file, then writes a window position and the
// lock into it as a program ending does. Whatever the bytes: a file with
// problems is never edited; an edit of a clean file either reads back as
// exactly what was written, or leaves the text as it was and says why.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy, so that a read past the end is caught.
    const std::string text(reinterpret_cast<const char*>(data), size);
    UserSettings values;
    std::vector<std::string> problems;
    const bool clean = settings::read(text, &values, &problems);
    if (!clean && problems.empty())
        std::abort();
    std::string edited = text, why;
    const bool saved = settings::applyEdits(
        &edited, {settings::positionEdit(OverlayKind::Strip, -3, 7), settings::boolEdit("", "locked", true)}, &why);
    if (saved != why.empty() || (!saved && edited != text))
        std::abort();
    if (saved) {
        if (!clean)
            std::abort();
        UserSettings back;
        problems.clear();
        if (!settings::read(edited, &back, &problems) || !back.locked || !back.strip.hasPosition || back.strip.x != -3 ||
            back.strip.y != 7)
            std::abort();
    }
    return 0;
}
