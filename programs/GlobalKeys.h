// Keys that work while another program has the keyboard focus: a chord such
// as "Ctrl+Shift+F1" taken for the whole desktop, reported as an action when
// it is pressed. The names are portable; taking the keys is one file per
// platform, chosen by the build.
#pragma once

#include <memory>
#include <string>
#include <vector>

// A key with modifiers, as the user writes it in the settings: "Ctrl+Shift+F1".
struct KeyChord {
    bool ctrl = false, shift = false, alt = false, super = false;
    std::string key; // the key's name as describeKeyChord spells it: "F1", "A", "7", "PageUp"
};

bool operator==(const KeyChord& a, const KeyChord& b);

// Reads modifiers and one key joined by '+', in any case, spaces around the
// parts allowed: the modifiers Ctrl (or Control), Shift, Alt and Super (or
// Win); the keys F1 to F24, A to Z, 0 to 9, Home, End, Insert, Delete, PageUp,
// PageDown, Up, Down, Left, Right, Space, Pause and ScrollLock. A function key,
// Pause or ScrollLock may stand alone; any other key needs Ctrl, Alt or Super,
// so that no chord takes a key away from typing. False, with *error one
// sentence naming the fault, for anything else.
bool parseKeyChord(const std::string& text, KeyChord* chord, std::string* error);

// The chord in the settings' spelling, modifiers first: "Ctrl+Shift+F1".
std::string describeKeyChord(const KeyChord& chord);

// The keys named by a word rather than one character, in describeKeyChord's
// spelling. The platform files list their key codes in this order.
constexpr int kNamedKeyCount = 13;
extern const char* const kNamedKeys[kNamedKeyCount];

// Index in kNamedKeys, or -1; F-keys, letters and digits are not named keys.
int namedKeyIndex(const std::string& key);

// 1 to 24 for "F1" to "F24", otherwise 0.
int functionKeyNumber(const std::string& key);

// Chords taken for the whole desktop while this object lives.
class GlobalKeys {
public:
    GlobalKeys();
    ~GlobalKeys(); // releases every key it took
    GlobalKeys(const GlobalKeys&) = delete;
    GlobalKeys& operator=(const GlobalKeys&) = delete;

    // Takes the chord for the whole desktop as `action`. False, with *error
    // one sentence naming the chord, when another program holds it, it is
    // bound here already, the keyboard lacks the key, or there is no display;
    // the keys bound before stay bound.
    bool bind(int action, const KeyChord& chord, std::string* error);

    // Appends the actions whose chord was pressed since the last call, in the
    // order pressed; never blocks. A held chord that repeats counts once. On
    // Windows, call it on the thread that bound the keys.
    void poll(std::vector<int>* pressed);

private:
    struct Platform; // one per platform
    std::unique_ptr<Platform> platform;
};
