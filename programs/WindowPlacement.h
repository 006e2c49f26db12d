// Where the overlay windows open: where the user left them, saved in the
// settings when a program ends; on a first start, side by side on the
// primary monitor.
#pragma once

#include <vector>

#include "Overlay.h"
#include "Settings.h"
#include "window.h"

// The places of windows of the given sizes that have no saved place yet, in
// the same order: the first (the strip) centred low on the monitor's work
// area, the others in a row above it from the left, wrapping to a new row
// above when a row is full. None overlaps another while they fit.
std::vector<Qvis::ScreenRect> firstStartPlaces(const Qvis::ScreenRect& workArea,
                                               const std::vector<Qvis::ScreenRect>& sizes);

// The window of an overlay at the given scale, in screen units.
Qvis::ScreenRect overlaySize(OverlayKind kind, float scale);

// Makes the next window created open at the overlay's saved place, or at
// `fallback` when it has none (fallback with zero size: where the window
// manager puts it). A place on no monitor is left out when the window opens.
void restoreWindowPosition(const OverlaySettings& overlay, const Qvis::ScreenRect& fallback = {});

// How the overlay's window looks: its title, and its scale (the monitor's
// content scale for "auto", within 0.5 to 4) and opacity from the settings.
Qvis::WindowStyle overlayWindowStyle(const OverlaySettings& overlay, const char* title = "qvisView");

// The settings edit that saves where the overlay's window is.
settings::Edit windowPositionEdit(Overlay& overlay);
