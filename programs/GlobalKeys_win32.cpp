// Global keys on Windows: hot keys registered for this thread, whose
// WM_HOTKEY messages wait in its queue until poll takes them.
#include "GlobalKeys.h"

#include <windows.h>

namespace {

// In the order of kNamedKeys.
const UINT kNamedKeyCodes[kNamedKeyCount] = {VK_HOME, VK_END,  VK_INSERT, VK_DELETE, VK_PRIOR, VK_NEXT, VK_UP,
                                             VK_DOWN, VK_LEFT, VK_RIGHT,  VK_SPACE,  VK_PAUSE, VK_SCROLL};

UINT virtualKeyOf(const std::string& key)
{
    if (const int f = functionKeyNumber(key))
        return VK_F1 + (f - 1);
    if (key.size() == 1 && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= '0' && key[0] <= '9')))
        return static_cast<UINT>(key[0]);
    const int named = namedKeyIndex(key);
    return named >= 0 ? kNamedKeyCodes[named] : 0;
}

} // namespace

struct GlobalKeys::Platform {
    // A hot key's id is its index here plus one.
    struct Binding {
        int action;
        KeyChord chord;
        UINT key;
        bool held;
    };
    std::vector<Binding> bindings;
};

GlobalKeys::GlobalKeys() : platform(new Platform) {}

GlobalKeys::~GlobalKeys()
{
    for (size_t i = 0; i < platform->bindings.size(); ++i)
        UnregisterHotKey(nullptr, static_cast<int>(i + 1));
}

bool GlobalKeys::bind(int action, const KeyChord& chord, std::string* error)
{
    const std::string name = describeKeyChord(chord);
    for (const Platform::Binding& b : platform->bindings) {
        if (b.chord == chord) {
            *error = name + " is bound to another action already";
            return false;
        }
    }
    const UINT key = virtualKeyOf(chord.key);
    const UINT mods = (chord.ctrl ? MOD_CONTROL : 0) | (chord.shift ? MOD_SHIFT : 0) | (chord.alt ? MOD_ALT : 0) |
                      (chord.super ? MOD_WIN : 0) | MOD_NOREPEAT;
    const int id = static_cast<int>(platform->bindings.size() + 1);
    if (!key || !RegisterHotKey(nullptr, id, mods, key)) {
        const DWORD code = key ? GetLastError() : 0;
        if (code == ERROR_HOTKEY_ALREADY_REGISTERED) {
            *error = name + " is held by another program";
        } else {
            char text[256] = "";
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
            std::string reason = text;
            while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
                reason.pop_back();
            *error = "Win32: cannot register " + name + " as a hot key: " + (reason.empty() ? "no reason given" : reason);
        }
        return false;
    }
    platform->bindings.push_back({action, chord, key, false});
    return true;
}

// MOD_NOREPEAT keeps Windows from repeating a held hot key; Wine repeats it
// all the same, so a key counts again only once it was seen released.
void GlobalKeys::poll(std::vector<int>* pressed)
{
    for (Platform::Binding& b : platform->bindings) {
        if (b.held && !(GetAsyncKeyState(static_cast<int>(b.key)) & 0x8000))
            b.held = false;
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE)) {
        const size_t index = static_cast<size_t>(msg.wParam) - 1;
        if (index < platform->bindings.size() && !platform->bindings[index].held) {
            platform->bindings[index].held = true;
            pressed->push_back(platform->bindings[index].action);
        }
    }
}
