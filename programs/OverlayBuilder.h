// Building the overlays a program runs, as the user's settings ask for them.
#pragma once

#include <memory>
#include <vector>

#include "IRData.h"
#include "Overlay.h"
#include "ReferenceLap.h"
#include "Settings.h"
#include "VariablePlotModel.h"
#include "window.h"

// The variables the settings give the variable plot; with no list, or a
// bad one (reported in one line), Throttle, Brake and Gear.
std::vector<VarSetup> varplotVariables(ProgramSettings& settings);

// The reference lap that the strip and the delta overlay of a program share:
// live runs keep the best lap per track and car for the next run unless the
// settings turn that off; a replay never touches the kept laps.
std::shared_ptr<ReferenceLap> makeReferenceLap(const std::shared_ptr<IRData>& source, ProgramSettings& settings);

// The rest of a program that shows one overlay, once its own arguments are
// read: reads the settings, makes the source of the first argument (the
// usage, or one line on a broker URL that cannot be used, and status 2 when
// there is none), checks the shaders (status 1 when they cannot be read),
// opens the overlay where it was left, runs the main loop, keeps the
// window's place and shuts down (status 0). The variable plot shows
// `variables`, or with none the settings' list; `extra` is the usage text of
// the program's further arguments.
int runOneOverlay(const char* program, OverlayKind kind, int argc, char** argv, const char* extra = "",
                  std::vector<VarSetup> variables = {});

class TelemetrySharer;

// The sharer the settings' [share] table asks for, connecting; null when
// sharing is off, or cannot be done (said in one line), or when the
// telemetry comes from a broker itself.
std::unique_ptr<TelemetrySharer> startSharing(ProgramSettings& settings, bool fromBroker);

// An overlay on the source with its window open: at its saved place, else
// at `fallback` (zero size: where the window manager puts it), with the
// scale and opacity of its settings and the given title. The variable plot
// shows `variables`; the strip and the delta show `reference`.
std::unique_ptr<Overlay> makeOverlay(OverlayKind kind, const std::shared_ptr<IRData>& source,
                                     ProgramSettings& settings, const std::shared_ptr<ReferenceLap>& reference,
                                     const std::vector<VarSetup>& variables = {}, const char* title = "qvisView",
                                     const Qvis::ScreenRect& fallback = {});
