#include "WindowPlacement.h"

#include <algorithm>

#include "DeltaView.h"
#include "ThrottleBrakeTraceView.h"
#include "TrackMapView.h"
#include "VariablePlotView.h"

namespace {

// Room left between windows, and between them and the monitor's edges.
const int kGap = 16;

} // namespace

std::vector<Qvis::ScreenRect> firstStartPlaces(const Qvis::ScreenRect& area, const std::vector<Qvis::ScreenRect>& sizes)
{
    std::vector<Qvis::ScreenRect> places;
    if (sizes.empty())
        return places;
    // The strip low and in the middle, where the eye goes from the road.
    const Qvis::ScreenRect& strip = sizes.front();
    int rowBottom = area.y + area.height - area.height / 8 - strip.height;
    places.push_back({area.x + (area.width - strip.width) / 2, rowBottom, strip.width, strip.height});
    // The plots in rows above it, bottom row first.
    int x = area.x + kGap;
    int rowHeight = 0;
    for (size_t i = 1; i < sizes.size(); ++i) {
        const Qvis::ScreenRect& s = sizes[i];
        if (x > area.x + kGap && x + s.width > area.x + area.width - kGap) {
            rowBottom -= rowHeight + kGap;
            x = area.x + kGap;
            rowHeight = 0;
        }
        places.push_back({x, std::max(area.y, rowBottom - kGap - s.height), s.width, s.height});
        x += s.width + kGap;
        rowHeight = std::max(rowHeight, s.height);
    }
    return places;
}

Qvis::ScreenRect overlaySize(OverlayKind kind, float scale)
{
    int width = ThrottleBrakeTraceView::kWidth, height = ThrottleBrakeTraceView::kHeight;
    if (kind == OverlayKind::TrackMap) {
        width = TrackMapView::kWidth;
        height = TrackMapView::kHeight;
    } else if (kind == OverlayKind::VarPlot) {
        width = VariablePlotView::kWidth;
        height = VariablePlotView::kHeight;
    } else if (kind == OverlayKind::Delta) {
        width = DeltaView::kWidth;
        height = DeltaView::kHeight;
    }
    return {0, 0, static_cast<int>(width * scale + 0.5f), static_cast<int>(height * scale + 0.5f)};
}

Qvis::WindowStyle overlayWindowStyle(const OverlaySettings& overlay, const char* title)
{
    Qvis::WindowStyle style;
    style.title = title;
    style.scale = overlay.autoScale ? std::clamp(Qvis::primaryContentScale(), 0.5f, 4.0f) : overlay.scale;
    style.opacity = overlay.opacity;
    return style;
}

void restoreWindowPosition(const OverlaySettings& overlay, const Qvis::ScreenRect& fallback)
{
    if (overlay.hasPosition)
        Qvis::Window::setNextPosition(overlay.x, overlay.y);
    else if (fallback.width > 0)
        Qvis::Window::setNextPosition(fallback.x, fallback.y);
}

settings::Edit windowPositionEdit(Overlay& overlay)
{
    int x = 0, y = 0;
    overlay.getWindowPosition(&x, &y);
    return settings::positionEdit(overlay.kind, x, y);
}
