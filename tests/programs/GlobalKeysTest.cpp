// Key chords as the user writes them, and global keys on a desktop with a
// window manager: a chord fires while another window keeps the keyboard, and
// a chord another program holds is refused with a sentence naming it. The
// controller buttons, the other way to the same actions, are beside them.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GlobalKeys.h"
#include "child_process.h"
#include "desktop_session.h"
#include "temp_folder.h"

TEST(KeyChord, ReadsWhatTheUserWritesAndSpellsItOneWay)
{
    const std::pair<const char*, const char*> good[] = {
        {"Ctrl+Shift+F1", "Ctrl+Shift+F1"},
        {" shift + CTRL +f1 ", "Ctrl+Shift+F1"},
        {"Control+Alt+pageup", "Ctrl+Alt+PageUp"},
        {"win+q", "Super+Q"},
        {"Alt+H", "Alt+H"},
        {"Alt+Shift+Super+Ctrl+7", "Ctrl+Shift+Alt+Super+7"},
        {"F24", "F24"},
        {"Shift+F13", "Shift+F13"},
        {"scrolllock", "ScrollLock"},
        {"Ctrl+space", "Ctrl+Space"},
    };
    for (const auto& g : good) {
        SCOPED_TRACE(g.first);
        KeyChord chord;
        std::string error;
        ASSERT_TRUE(parseKeyChord(g.first, &chord, &error)) << error;
        EXPECT_EQ(describeKeyChord(chord), g.second);
        KeyChord again;
        ASSERT_TRUE(parseKeyChord(describeKeyChord(chord), &again, &error));
        EXPECT_TRUE(again == chord);
    }

    // Each fault named in one sentence; the chord given stays as it was.
    const std::pair<const char*, const char*> bad[] = {
        {"", "\"\" names no key"},
        {"Ctrl+Shift+", "\"Ctrl+Shift+\" names no key"},
        {"Ctrl++F1", "\"Ctrl++F1\" has an empty part before a '+'"},
        {"Hyper+F1", "\"Hyper\" in \"Hyper+F1\" is not a modifier (Ctrl, Shift, Alt or Super)"},
        {"Ctrl+F1+Shift", "\"F1\" in \"Ctrl+F1+Shift\" is not a modifier (Ctrl, Shift, Alt or Super)"},
        {"Ctrl+ctrl+F1", "\"Ctrl+ctrl+F1\" names ctrl twice"},
        {"Ctrl+F25", "\"F25\" in \"Ctrl+F25\" is not a key this program can take"},
        {"Ctrl+F01", "\"F01\" in \"Ctrl+F01\" is not a key this program can take"},
        {"Ctrl+Escape", "\"Escape\" in \"Ctrl+Escape\" is not a key this program can take"},
        {"Shift+A", "\"Shift+A\" needs Ctrl, Alt or Super, or it would take A from typing"},
        {"home", "\"home\" needs Ctrl, Alt or Super, or it would take Home from typing"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.first);
        KeyChord chord;
        chord.key = "kept";
        std::string error;
        EXPECT_FALSE(parseKeyChord(b.first, &chord, &error));
        EXPECT_EQ(error, b.second);
        EXPECT_EQ(chord.key, "kept");
    }
}

// A chord fires once per press whatever the lock keys, also when held long
// enough to repeat, and the window that has the keyboard keeps it. Another X
// client cannot take the same chord; it still takes others.
TEST(GlobalKeys, FireWhileAnotherWindowHasTheFocusAndAreRefusedWhenHeld)
{
    DesktopSession session;
    REQUIRE_DESKTOP(session);
    TempFolder dir("keys");
    LoggingWindow simulator(dir.path(), "simulator", 0, 0, 800, 600);
    ASSERT_TRUE(simulator.activate());

    GlobalKeys keys;
    KeyChord showHide, lock;
    std::string error;
    ASSERT_TRUE(parseKeyChord("Ctrl+Shift+F1", &showHide, &error));
    ASSERT_TRUE(parseKeyChord("Ctrl+Alt+Home", &lock, &error));
    ASSERT_TRUE(keys.bind(1, showHide, &error)) << error;
    ASSERT_TRUE(keys.bind(2, lock, &error)) << error;
    EXPECT_FALSE(keys.bind(3, showHide, &error));
    EXPECT_EQ(error, "Ctrl+Shift+F1 is bound to another action already");

    std::vector<int> fired;
    auto press = [&](const std::string& xdotool) {
        shellOutput(xdotool + "; sleep 0.3");
        keys.poll(&fired);
    };
    press("xdotool key ctrl+shift+F1");
    press("xdotool key ctrl+shift+F3"); // not bound
    press("xdotool key ctrl+alt+Home");
    press("xdotool key Num_Lock; sleep 0.2; xdotool key Caps_Lock; sleep 0.2; xdotool key ctrl+shift+F1");
    press("xdotool key Num_Lock; sleep 0.2; xdotool key Caps_Lock");
    press("xdotool keydown ctrl+shift+F1; sleep 1.5; xdotool keyup ctrl+shift+F1");
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 1, 1}));
    EXPECT_TRUE(simulator.hasFocus()) << "a key moved the focus";

    GlobalKeys other; // a connection of its own: another client of the X server
    EXPECT_FALSE(other.bind(1, showHide, &error));
    EXPECT_EQ(error, "Ctrl+Shift+F1 is held by another program");
    KeyChord free;
    ASSERT_TRUE(parseKeyChord("Ctrl+Shift+F2", &free, &error));
    EXPECT_TRUE(other.bind(1, free, &error)) << error;
    std::vector<int> otherFired;
    shellOutput("xdotool key ctrl+shift+F2 ctrl+shift+F1; sleep 0.3");
    other.poll(&otherFired);
    keys.poll(&fired);
    EXPECT_EQ(otherFired, std::vector<int>{1});
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 1, 1, 1})) << "the refused grab released the first one's";

    ::unsetenv("DISPLAY");
    GlobalKeys nowhere;
    EXPECT_FALSE(nowhere.bind(1, showHide, &error));
    EXPECT_EQ(error, "no X display to take Ctrl+Shift+F1 from");
}
