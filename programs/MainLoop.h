// Start-up, main loop and shut-down shared by the overlay programs: one source,
// one or more overlays, one pass per simulation tick until a window is closed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "IRData.h"
#include "Overlay.h"
#include "SessionWatch.h"
#include "Settings.h"
#include "SettingsEditor.h"
#include "StopRequest.h"

// The telemetry source selected by a program's first argument: none or "sim"
// is live telemetry, "file" replays "telemetry.ibt" from the working
// directory, and a broker URL (mqtt://HOST[:PORT]/TOPIC, or mqtts://) the
// telemetry a driver shares there, with the login of the settings' [share]
// table. Any other word selects nothing and yields null; so does a URL that
// cannot be used, with *error saying why in one line.
std::shared_ptr<IRData> makeSource(int argc, char** argv, const char* program, const ShareSettings& login,
                                   std::string* error);

// The one-line usage message of a program, and printing it to standard error.
std::string usageLine(const char* program, const char* extra = "");
void printUsage(const char* program, const char* extra = "");

// True when the first argument asks for help: "--help" or "-h".
bool wantsHelp(int argc, char** argv);

// The settings file, for a usage text: its path, or why there is none.
std::string settingsFileForHelp();

// The usage text's lines about the first argument.
extern const char* const kSourceHelp;

// Prints to standard output a program's usage, what it shows (`about`, and
// `more` after the sources, for further arguments), the keys and where its
// settings are kept.
void printHelp(const char* program, const char* extra, const char* about, const char* more = "");

// Whether every shader source the plotting library reads can be read; if
// not, prints one line on standard error naming the first that cannot and
// why. Programs ask before they open a window and exit 1 on false.
bool shaderSourcesReadable(const char* program);

// The loop's state across passes: which overlay windows are shown, whether
// the user hid them all (a program's show/hide key), and what the source's
// sessions and silences mean for the pictures.
struct LoopState {
    explicit LoopState(size_t overlays) : shown(overlays, 1) {}
    std::vector<char> shown; // the windows are visible when created
    bool hiddenByUser = false;
    SessionWatch session;
    // Runs after the overlays took each new sample (sharing it).
    std::function<void()> afterSample;
};

// One pass of the main loop: advance the source, start every overlay afresh
// when the sample begins another session, let every overlay take the sample,
// tell them whether their picture is stale, show or hide each window by
// whether the car is on track, draw, sleep 10 ms. The windows are hidden only
// while the source is connected and the car is off track, or while the user
// hides them; a stale picture shows only where the window is shown.
// A pass without a new sample (the end of a recording, a paused or absent
// simulator) stores nothing: repeating the last sample would push the real
// history out of the rings and empty the plots while the time stands still.
void runPass(IRData& irData, const std::vector<Overlay*>& overlays, LoopState& state);

// True when an overlay's window was asked to close (Escape), a stop was
// requested from outside (SIGINT, SIGTERM, SIGHUP, a console or session
// event), which also ends hidden windows, or the window system went away.
bool loopEnded(const std::vector<Overlay*>& overlays);

// Runs passes until loopEnded; beforePass(state) runs first in each pass
// (the global keys of the program that has them). The stop-request handlers
// must be installed before: at the start of the program.
template <class BeforePass>
void runMainLoop(IRData& irData, const std::vector<Overlay*>& overlays, LoopState& state, BeforePass beforePass)
{
    while (!loopEnded(overlays)) {
        beforePass(state);
        runPass(irData, overlays, state);
    }
}

inline void runMainLoop(IRData& irData, const std::vector<Overlay*>& overlays)
{
    LoopState state(overlays.size());
    runMainLoop(irData, overlays, state, [](LoopState&) {});
}

// One line on standard error when the loop ended because the connection to
// the window system broke (the X server ended).
void reportLostDisplay(const char* program);

// The settings edits that keep the places of the windows the user moved in
// this run; a window left alone keeps what the file says, also a place
// written there by hand meanwhile.
std::vector<settings::Edit> movedWindows(const std::vector<Overlay*>& overlays);

// Waits until every window's renderer has drawn what it was given: for an
// end of the process that cannot end GLFW first (the session's end), since a
// GL context torn down while its renderer still draws can crash.
void finishDrawing(const std::vector<Overlay*>& overlays);

// Ends GLFW (unless told not to: the windows' own event processing may be
// running), prints the shut-down line and ends the source's session. The
// caller then destroys its controller (view before model) and the source.
void shutDown(IRData& irData, bool endGlfw = true);
