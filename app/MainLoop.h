// Start-up, main loop and shut-down shared by the overlay programs: one source,
// one controller, one pass per simulation tick until the window is closed.
#pragma once

#include <chrono>
#include <memory>
#include <thread>

#include <GLFW/glfw3.h>

#include "IRData.h"
#include "StopRequest.h"

// The telemetry source selected by a program's first argument: none or "sim"
// is live telemetry, "file" replays "telemetry.ibt" from the working
// directory. Any other word selects nothing and yields null.
std::shared_ptr<IRData> makeSource(int argc, char** argv);

// Prints the one-line usage message of a program to standard error.
void printUsage(const char* program, const char* extra = "");

// True when the first argument asks for help: "--help" or "-h".
bool wantsHelp(int argc, char** argv);

// Prints to standard output a program's usage, what it shows (`about`, and
// `more` after the sources, for further arguments), the keys and where its
// settings are kept.
void printHelp(const char* program, const char* extra, const char* about, const char* more = "");

// Whether every shader source the plotting library reads can be read; if
// not, prints one line on standard error naming the first that cannot and
// why. Programs ask before they open a window and exit 1 on false.
bool shaderSourcesReadable(const char* program);

// One pass of the main loop: advance the source, let the controller take the
// sample, show or hide the window by whether the car is on track, draw, sleep
// 10 ms. The window is hidden only
// while the source is connected and the car is off track.
// A pass without a new sample (the end of a recording, a paused or absent
// simulator) stores nothing: repeating the last sample would push the real
// history out of the rings and empty the plots while the time stands still.
// runMainLoop runs passes until the overlay window's close flag is set
// (Escape) or a stop is requested from outside (SIGINT, SIGTERM, a console
// event), which also ends a hidden window. Programs install the stop-request
// handlers before any file or window work, so that a stop during start-up
// ends the run here too, before the first pass, in the normal order.
template <class Controller>
void runPass(IRData& irData, Controller& controller, bool& shown)
{
    if (irData.updateData())
        controller.updateData();
    const bool visible = irData.isCarOnTrack() || !irData.isConnected();
    if (visible) {
        if (!shown) {
            controller.showWindow();
            shown = true;
        }
        controller.drawWindow();
    } else {
        controller.hideWindow();
        shown = false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

template <class Controller>
void runMainLoop(IRData& irData, Controller& controller)
{
    bool shown = true;
    while (!glfwWindowShouldClose(controller.getWindow()) && !stopRequested())
        runPass(irData, controller, shown);
}

// Ends GLFW, prints the shut-down line and ends the source's session. The
// caller then destroys its controller (view before model) and the source.
void shutDown(IRData& irData);
