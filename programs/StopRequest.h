// A request from outside to end a program as Escape does: SIGINT, SIGTERM and
// SIGHUP,
// or on Windows the console's Ctrl-C, Ctrl-Break and close events and the
// end of the user's session. The main
// loop polls it, so a hidden window (which Escape cannot reach) still ends in
// the normal shut-down order. One implementation per platform.
#pragma once

#include <functional>

// Installs the handlers; call once before the main loop.
void installStopRequestHandlers();

// True once a stop was requested.
bool stopRequested();

// Tells a handler that waits for the shut-down (the console close event
// ends the process as soon as its handler returns) that it is complete.
void stopRequestHandled();

// What must be done before the session ends, on Windows, where the system
// ends the process as soon as its windows have been told: `finish` runs then,
// on the main thread inside its event processing, unless the program has
// shut down already, and the process ends right after it with status 0.
// Nothing elsewhere.
void setSessionEndAction(std::function<void()> finish);
