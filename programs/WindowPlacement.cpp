#include "WindowPlacement.h"

#include <algorithm>
#include <limits>

#include "DeltaView.h"
#include "ThrottleBrakeTraceView.h"
#include "TrackMapView.h"
#include "VariablePlotView.h"

namespace {

// Room left between windows, and between them and the monitor's edges.
const int kGap = 16;

using Qvis::ScreenRect;

// The windows side by side on a first start, in the order of `sizes`: the
// first (the strip) centred low on the work area, where the eye goes from
// the road, the others in rows above it from the left, bottom row first,
// wrapping to a new row above when a row is full.
std::vector<ScreenRect> firstStartPlaces(const ScreenRect& area, const std::vector<ScreenRect>& sizes)
{
    std::vector<ScreenRect> places;
    if (sizes.empty())
        return places;
    const ScreenRect& strip = sizes.front();
    int rowBottom = area.y + area.height - area.height / 8 - strip.height;
    places.push_back({area.x + (area.width - strip.width) / 2, rowBottom, strip.width, strip.height});
    int x = area.x + kGap;
    int rowHeight = 0;
    for (size_t i = 1; i < sizes.size(); ++i) {
        const ScreenRect& s = sizes[i];
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

// The work area that holds most of the placed windows; the first without any.
ScreenRect areaOfThePlaced(const std::vector<ScreenRect>& areas, const std::vector<OverlayWindow>& windows)
{
    size_t best = 0;
    long long bestCover = 0;
    for (size_t a = 0; a < areas.size(); ++a) {
        long long cover = 0;
        for (const OverlayWindow& w : windows)
            if (w.placed)
                cover += overlapArea(areas[a], w.rect);
        if (cover > bestCover) {
            best = a;
            bestCover = cover;
        }
    }
    return areas[best];
}

// Of the places along the work area's edges and beside the windows already
// there (among which lie the free places nearest to any point), the one that
// covers least of them and, of those, lies nearest to `wanted`; inside the
// work area as far as the window fits.
ScreenRect placeBeside(const ScreenRect& area, const std::vector<ScreenRect>& taken, const ScreenRect& wanted)
{
    const int w = wanted.width, h = wanted.height;
    std::vector<int> xs{wanted.x, area.x + kGap, area.x + area.width - kGap - w};
    std::vector<int> ys{wanted.y, area.y + kGap, area.y + area.height - kGap - h};
    for (const ScreenRect& t : taken) {
        xs.insert(xs.end(), {t.x + t.width + kGap, t.x - kGap - w});
        ys.insert(ys.end(), {t.y + t.height + kGap, t.y - kGap - h});
    }
    ScreenRect best = wanted;
    long long bestCover = std::numeric_limits<long long>::max(), bestDistance = 0;
    for (int x : xs)
        for (int y : ys) {
            const ScreenRect r{std::max(area.x, std::min(x, area.x + area.width - w)),
                               std::max(area.y, std::min(y, area.y + area.height - h)), w, h};
            long long cover = 0;
            for (const ScreenRect& t : taken)
                cover += overlapArea(r, t);
            const long long dx = r.x - wanted.x, dy = r.y - wanted.y;
            const long long distance = dx * dx + dy * dy;
            if (cover < bestCover || (cover == bestCover && distance < bestDistance)) {
                best = r;
                bestCover = cover;
                bestDistance = distance;
            }
        }
    return best;
}

} // namespace

long long overlapArea(const ScreenRect& a, const ScreenRect& b)
{
    const long long w = std::min(0LL + a.x + a.width, 0LL + b.x + b.width) - std::max(a.x, b.x);
    const long long h = std::min(0LL + a.y + a.height, 0LL + b.y + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

std::vector<ScreenRect> openingPlaces(const std::vector<ScreenRect>& workAreas, const std::vector<OverlayWindow>& windows)
{
    std::vector<ScreenRect> places;
    std::vector<ScreenRect> taken;
    for (const OverlayWindow& w : windows) {
        places.push_back(w.rect);
        if (w.placed)
            taken.push_back(w.rect);
    }
    if (workAreas.empty())
        return places;
    const ScreenRect area = areaOfThePlaced(workAreas, windows);
    std::vector<ScreenRect> sizes;
    for (const OverlayWindow& w : windows)
        sizes.push_back(w.rect);
    const std::vector<ScreenRect> firstStart = firstStartPlaces(area, sizes);
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].placed)
            continue;
        places[i] = placeBeside(area, taken, firstStart[i]);
        taken.push_back(places[i]);
    }
    return places;
}

ScreenRect overlaySize(OverlayKind kind, float scale)
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

OverlayWindow overlayWindow(OverlayKind kind, const OverlaySettings& overlay)
{
    OverlayWindow w{overlaySize(kind, overlayWindowStyle(overlay).scale), false};
    if (overlay.hasPosition &&
        Qvis::isOnAMonitor({overlay.x, overlay.y, w.rect.width, w.rect.height}, Qvis::monitorAreas())) {
        w.rect.x = overlay.x;
        w.rect.y = overlay.y;
        w.placed = true;
    }
    return w;
}

Qvis::WindowStyle overlayWindowStyle(const OverlaySettings& overlay, const char* title)
{
    Qvis::WindowStyle style;
    style.title = title;
    style.scale = overlay.autoScale ? std::clamp(Qvis::primaryContentScale(), 0.5f, 4.0f) : overlay.scale;
    style.opacity = overlay.opacity;
    return style;
}

void restoreWindowPosition(OverlayKind kind, const OverlaySettings& overlay, const ScreenRect& fallback)
{
    const OverlayWindow w = overlayWindow(kind, overlay);
    if (w.placed)
        Qvis::Window::setNextPosition(w.rect.x, w.rect.y);
    else if (fallback.width > 0)
        Qvis::Window::setNextPosition(fallback.x, fallback.y);
}
