// Where overlays open: side by side on a first start, none over another,
// also on a monitor too narrow for the plots in one row; beside the overlays
// that have a place, on their monitor; where they cover least without room.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "WindowPlacement.h"

namespace {

using Qvis::ScreenRect;

bool inside(const ScreenRect& r, const ScreenRect& area)
{
    return r.x >= area.x && r.y >= area.y && r.x + r.width <= area.x + area.width &&
           r.y + r.height <= area.y + area.height;
}

std::vector<OverlayWindow> unplaced(float scale)
{
    return {{overlaySize(OverlayKind::Strip, scale)},
            {overlaySize(OverlayKind::TrackMap, scale)},
            {overlaySize(OverlayKind::VarPlot, scale)}};
}

// Every window inside the area, none over another.
void expectApart(const std::vector<ScreenRect>& places, const ScreenRect& area)
{
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_TRUE(inside(places[i], area)) << i;
        for (size_t j = 0; j < i; ++j)
            EXPECT_EQ(overlapArea(places[i], places[j]), 0) << i << " over " << j;
    }
}

} // namespace

TEST(OpeningPlaces, OnAFirstStartStripBelowAndPlotsAboveNoneOverAnother)
{
    struct Case {
        ScreenRect area;
        float scale;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, 1.0f},
        {{1920, 24, 3840, 2136}, 2.0f}, // a second, 4K monitor with a panel on top
        {{0, 0, 1280, 1024}, 0.75f},
        {{0, 0, 1280, 1024}, 0.5f},
        // Portrait monitors, too narrow for the plots in one row.
        {{0, 0, 1080, 1920}, 1.0f},
        {{0, 40, 1440, 2520}, 1.5f},
        {{-1200, 0, 1200, 1920}, 1.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.area.width << " x " << c.area.height << " at " << c.scale);
        const std::vector<OverlayWindow> windows = unplaced(c.scale);
        const std::vector<ScreenRect> places = openingPlaces({c.area}, windows);
        ASSERT_EQ(places.size(), 3u);
        for (size_t i = 0; i < places.size(); ++i)
            EXPECT_EQ(places[i].width, windows[i].rect.width);
        expectApart(places, c.area);
        EXPECT_LT(places[1].y + places[1].height, places[0].y + 1) << "the plots are above the strip";
        EXPECT_NEAR(places[0].x + places[0].width / 2, c.area.x + c.area.width / 2, 1) << "the strip is centred";
    }
}

// The plots turned on after the strip was placed where they would open: on
// the monitor that holds it, covering neither it nor each other.
TEST(OpeningPlaces, NewOverlaysAvoidThePlacedOnesOnTheirMonitor)
{
    const std::vector<ScreenRect> areas = {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}};
    std::vector<OverlayWindow> windows = unplaced(1.0f);
    for (const ScreenRect& strip : {ScreenRect{16, 300, 700, 80}, ScreenRect{1920 + 600, 310, 700, 80}}) {
        SCOPED_TRACE(strip.x);
        windows[0] = {strip, true};
        const std::vector<ScreenRect> places = openingPlaces(areas, windows);
        EXPECT_EQ(places[0].x, strip.x);
        EXPECT_EQ(places[0].y, strip.y);
        expectApart(places, areas[strip.x < 1920 ? 0 : 1]);
    }

    // Without room, where it covers least: a map in the middle of a small
    // monitor leaves no place for the plot beside it.
    const ScreenRect area{0, 0, 1024, 768};
    const ScreenRect map{112, 84, 800, 600};
    const std::vector<ScreenRect> places =
        openingPlaces({area}, {{map, true}, {overlaySize(OverlayKind::VarPlot, 1.0f), false}});
    EXPECT_TRUE(inside(places[1], area));
    long long least = overlapArea(map, area);
    for (int x = area.x; x + 800 <= area.width; ++x)
        for (int y = area.y; y + 600 <= area.height; ++y)
            least = std::min(least, overlapArea(map, {x, y, 800, 600}));
    EXPECT_EQ(overlapArea(places[1], map), least);
}
