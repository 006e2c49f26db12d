// Global keys on X11: passive grabs on the root window, on a connection of
// their own so that the windows' event loop never sees these keys.
#include "GlobalKeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// In the order of kNamedKeys.
const KeySym kNamedKeySyms[kNamedKeyCount] = {XK_Home, XK_End,  XK_Insert, XK_Delete, XK_Page_Up, XK_Page_Down, XK_Up,
                                              XK_Down, XK_Left, XK_Right,  XK_space,  XK_Pause,   XK_Scroll_Lock};

KeySym keySymOf(const std::string& key)
{
    if (const int f = functionKeyNumber(key))
        return XK_F1 + (f - 1);
    if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z')
        return XK_a + (key[0] - 'A');
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9')
        return XK_0 + (key[0] - '0');
    const int named = namedKeyIndex(key);
    return named >= 0 ? kNamedKeySyms[named] : NoSymbol;
}

// The modifier bit that a key such as Num_Lock or Alt_L sets on this server.
unsigned modifierMask(Display* display, KeySym keysym, unsigned fallback)
{
    const KeyCode code = XKeysymToKeycode(display, keysym);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned mask = 0;
    for (int mod = 0; map && code && mod < 8 && !mask; ++mod) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[mod * map->max_keypermod + k] == code)
                mask = 1u << mod;
        }
    }
    if (map)
        XFreeModifiermap(map);
    return mask ? mask : fallback;
}

// The first error of a grab, caught while the grabs are synchronised: Xlib's
// handler is one for the whole process, so it is ours only for that moment.
int grabError = 0;
int onGrabError(Display*, XErrorEvent* e)
{
    if (!grabError)
        grabError = e->error_code;
    return 0;
}

// Xlib ends the process when this connection breaks (the X server ended)
// unless it has an exit handler; returning lets the program end in order,
// which the windows' own connection tells it to.
void keepRunning(Display*, void*)
{
}

} // namespace

struct GlobalKeys::Platform {
    Display* display = nullptr;
    ::Window root = 0;
    unsigned alt = Mod1Mask, super = Mod4Mask, numLock = Mod2Mask;
    struct Binding {
        int action;
        KeyChord chord;
        KeyCode code;
        unsigned mods;
        bool held;
    };
    std::vector<Binding> bindings;

    // The grab for each state of NumLock and CapsLock, which would otherwise
    // make the same chord a different one.
    template <class Op>
    void eachLockVariant(unsigned mods, Op op)
    {
        const unsigned lock = LockMask;
        for (unsigned locks : {0u, lock, numLock, lock | numLock})
            op(mods | locks);
    }
};

GlobalKeys::GlobalKeys() : platform(new Platform)
{
    Platform& p = *platform;
    p.display = XOpenDisplay(nullptr);
    if (!p.display)
        return;
    XSetIOErrorExitHandler(p.display, keepRunning, nullptr);
    p.root = DefaultRootWindow(p.display);
    p.alt = modifierMask(p.display, XK_Alt_L, Mod1Mask);
    p.super = modifierMask(p.display, XK_Super_L, Mod4Mask);
    p.numLock = modifierMask(p.display, XK_Num_Lock, Mod2Mask);
    // A held key then repeats as presses alone, without releases between them.
    XkbSetDetectableAutoRepeat(p.display, True, nullptr);
}

GlobalKeys::~GlobalKeys()
{
    Platform& p = *platform;
    if (!p.display)
        return;
    for (const Platform::Binding& b : p.bindings)
        p.eachLockVariant(b.mods, [&](unsigned mods) { XUngrabKey(p.display, b.code, mods, p.root); });
    XCloseDisplay(p.display);
}

bool GlobalKeys::bind(int action, const KeyChord& chord, std::string* error)
{
    Platform& p = *platform;
    const std::string name = describeKeyChord(chord);
    if (!p.display) {
        *error = "no X display to take " + name + " from";
        return false;
    }
    for (const Platform::Binding& b : p.bindings) {
        if (b.chord == chord) {
            *error = name + " is bound to another action already";
            return false;
        }
    }
    const KeySym sym = keySymOf(chord.key);
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(p.display, sym);
    if (!code) {
        *error = "the keyboard has no key " + chord.key + " for " + name;
        return false;
    }
    const unsigned mods = (chord.ctrl ? ControlMask : 0) | (chord.shift ? ShiftMask : 0) | (chord.alt ? p.alt : 0) |
                          (chord.super ? p.super : 0);

    XSync(p.display, False);
    grabError = 0;
    XErrorHandler previous = XSetErrorHandler(onGrabError);
    p.eachLockVariant(mods, [&](unsigned m) {
        XGrabKey(p.display, code, m, p.root, False, GrabModeAsync, GrabModeAsync);
    });
    XSync(p.display, False);
    const int failure = grabError;
    if (failure) {
        // Releases the variants that were taken; the others are not ours.
        p.eachLockVariant(mods, [&](unsigned m) { XUngrabKey(p.display, code, m, p.root); });
        XSync(p.display, False);
    }
    XSetErrorHandler(previous);
    if (failure == BadAccess) {
        *error = name + " is held by another program";
        return false;
    }
    if (failure) {
        char text[160];
        XGetErrorText(p.display, failure, text, sizeof text);
        *error = "X11: cannot take " + name + ": " + text;
        return false;
    }
    p.bindings.push_back({action, chord, code, mods, false});
    return true;
}

// A press counts when its key and modifiers match a binding (the lock states
// aside) and the key was not held already; the release ends the hold, with
// whatever modifiers are still down.
void GlobalKeys::poll(std::vector<int>* pressed)
{
    Platform& p = *platform;
    if (!p.display)
        return;
    const unsigned relevant = ControlMask | ShiftMask | p.alt | p.super;
    while (XPending(p.display)) {
        XEvent event;
        XNextEvent(p.display, &event);
        if (event.type != KeyPress && event.type != KeyRelease)
            continue;
        for (Platform::Binding& b : p.bindings) {
            if (b.code != event.xkey.keycode)
                continue;
            if (event.type == KeyRelease) {
                b.held = false;
            } else if ((event.xkey.state & relevant) == b.mods && !b.held) {
                b.held = true;
                pressed->push_back(b.action);
            }
        }
    }
}
