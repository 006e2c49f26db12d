// Key chords as the user writes them: reading and spelling.
#include "GlobalKeys.h"

#include <cctype>

const char* const kNamedKeys[kNamedKeyCount] = {"Home", "End",  "Insert", "Delete", "PageUp", "PageDown", "Up",
                                                "Down", "Left", "Right",  "Space",  "Pause",  "ScrollLock"};

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The key's spelling in KeyChord, or empty when the word names no key.
std::string canonicalKey(const std::string& word)
{
    const std::string w = lower(word);
    if (w.size() == 1 && std::isalnum(static_cast<unsigned char>(w[0])))
        return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(w[0]))));
    for (const char* name : kNamedKeys) {
        if (w == lower(name))
            return name;
    }
    const std::string f = "F" + w.substr(1);
    return w[0] == 'f' && functionKeyNumber(f) ? f : "";
}

} // namespace

bool operator==(const KeyChord& a, const KeyChord& b)
{
    return a.ctrl == b.ctrl && a.shift == b.shift && a.alt == b.alt && a.super == b.super && a.key == b.key;
}

int namedKeyIndex(const std::string& key)
{
    for (int i = 0; i < kNamedKeyCount; ++i) {
        if (key == kNamedKeys[i])
            return i;
    }
    return -1;
}

int functionKeyNumber(const std::string& key)
{
    if (key.size() < 2 || key.size() > 3 || key[0] != 'F' || key[1] == '0')
        return 0;
    int n = 0;
    for (size_t i = 1; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i])))
            return 0;
        n = n * 10 + (key[i] - '0');
    }
    return n <= 24 ? n : 0;
}

bool parseKeyChord(const std::string& text, KeyChord* chord, std::string* error)
{
    KeyChord c;
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t plus; (plus = text.find('+', start)) != std::string::npos; start = plus + 1)
        parts.push_back(trimmed(text.substr(start, plus - start)));
    parts.push_back(trimmed(text.substr(start)));

    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::string m = lower(parts[i]);
        bool* flag = m == "ctrl" || m == "control" ? &c.ctrl
                     : m == "shift"                 ? &c.shift
                     : m == "alt"                   ? &c.alt
                     : m == "super" || m == "win"   ? &c.super
                                                    : nullptr;
        if (!flag) {
            *error = parts[i].empty() ? "\"" + text + "\" has an empty part before a '+'"
                                      : "\"" + parts[i] + "\" in \"" + text +
                                            "\" is not a modifier (Ctrl, Shift, Alt or Super)";
            return false;
        }
        if (*flag) {
            *error = "\"" + text + "\" names " + parts[i] + " twice";
            return false;
        }
        *flag = true;
    }
    if (parts.back().empty()) {
        *error = "\"" + text + "\" names no key";
        return false;
    }
    c.key = canonicalKey(parts.back());
    if (c.key.empty()) {
        *error = "\"" + parts.back() + "\" in \"" + text + "\" is not a key this program can take";
        return false;
    }
    const bool standsAlone = functionKeyNumber(c.key) || c.key == "Pause" || c.key == "ScrollLock";
    if (!standsAlone && !c.ctrl && !c.alt && !c.super) {
        *error = "\"" + text + "\" needs Ctrl, Alt or Super, or it would take " + c.key + " from typing";
        return false;
    }
    *chord = c;
    return true;
}

std::string describeKeyChord(const KeyChord& chord)
{
    std::string s;
    if (chord.ctrl)
        s += "Ctrl+";
    if (chord.shift)
        s += "Shift+";
    if (chord.alt)
        s += "Alt+";
    if (chord.super)
        s += "Super+";
    return s + chord.key;
}
