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

// The rest of a program that shows one overlay, once its arguments are read:
// checks the shaders (status 1 when they cannot be read), reads the
// settings, opens the overlay where it was left, runs the main loop, keeps
// the window's place and shuts down (status 0). The variable plot shows
// `variables`, or with none the settings' list.
int runOneOverlay(const char* program, OverlayKind kind, const std::shared_ptr<IRData>& source,
                  std::vector<VarSetup> variables = {});

// An overlay on the source with its window open: at its saved place, else
// at `fallback` (zero size: where the window manager puts it), with the
// scale and opacity of its settings and the given title. The variable plot
// shows `variables`; the strip and the delta show `reference`.
std::unique_ptr<Overlay> makeOverlay(OverlayKind kind, const std::shared_ptr<IRData>& source,
                                     ProgramSettings& settings, const std::shared_ptr<ReferenceLap>& reference,
                                     const std::vector<VarSetup>& variables = {}, const char* title = "qvisView",
                                     const Qvis::ScreenRect& fallback = {});
