// Where the overlay windows open: where the user left them, saved in the
// settings when a program ends; overlays without such a place where they
// cover none of the placed ones, side by side.
#pragma once

#include <vector>

#include "Overlay.h"
#include "Settings.h"
#include "window.h"

// One overlay window as the placement sees it: its saved place, or only its
// size when it has no place to open at.
struct OverlayWindow {
    Qvis::ScreenRect rect;
    bool placed = false;
};

// Where the windows open, in the same order: a placed one at its place; the
// others on the work area of the monitor that holds the placed ones (most of
// them; the first work area, the primary monitor's, when none is placed),
// each at its first-start place (the first window, the strip, centred low,
// the others in rows above it from the left) when that covers no placed or
// earlier window, else at the free place nearest to it, else where it covers
// least. None overlaps another while they fit.
std::vector<Qvis::ScreenRect> openingPlaces(const std::vector<Qvis::ScreenRect>& workAreas,
                                            const std::vector<OverlayWindow>& windows);

// The area two rectangles have in common, 0 when they do not overlap.
long long overlapArea(const Qvis::ScreenRect& a, const Qvis::ScreenRect& b);

// The window of an overlay at the given scale, in screen units.
Qvis::ScreenRect overlaySize(OverlayKind kind, float scale);

// The overlay's window as the placement sees it: placed at its saved place
// when it has one on a monitor; a place on no monitor (one since unplugged)
// counts as none.
OverlayWindow overlayWindow(OverlayKind kind, const OverlaySettings& overlay);

// Makes the next window created open at the overlay's saved place when it is
// on a monitor, else at `fallback` (zero size: where the window manager puts
// it).
void restoreWindowPosition(OverlayKind kind, const OverlaySettings& overlay, const Qvis::ScreenRect& fallback = {});

// How the overlay's window looks: its title, and its scale (the monitor's
// content scale for "auto", within 0.5 to 4) and opacity from the settings.
Qvis::WindowStyle overlayWindowStyle(const OverlaySettings& overlay, const char* title = "qvisView");
