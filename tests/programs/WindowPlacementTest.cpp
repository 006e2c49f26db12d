// Where overlays open on a first start: side by side, none over another.
#include <vector>

#include <gtest/gtest.h>

#include "WindowPlacement.h"

namespace {

bool overlap(const Qvis::ScreenRect& a, const Qvis::ScreenRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool inside(const Qvis::ScreenRect& r, const Qvis::ScreenRect& area)
{
    return r.x >= area.x && r.y >= area.y && r.x + r.width <= area.x + area.width &&
           r.y + r.height <= area.y + area.height;
}

} // namespace

TEST(FirstStartPlaces, StripBelowAndPlotsAboveNoneOverAnother)
{
    struct Case {
        Qvis::ScreenRect area;
        float scale;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, 1.0f},
        {{1920, 24, 3840, 2136}, 2.0f}, // a second, 4K monitor with a panel on top
        {{0, 0, 1280, 1024}, 0.75f},
        {{0, 0, 1280, 1024}, 0.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area.width);
        const std::vector<Qvis::ScreenRect> sizes{overlaySize(OverlayKind::Strip, c.scale),
                                                  overlaySize(OverlayKind::TrackMap, c.scale),
                                                  overlaySize(OverlayKind::VarPlot, c.scale)};
        const std::vector<Qvis::ScreenRect> places = firstStartPlaces(c.area, sizes);
        ASSERT_EQ(places.size(), 3u);
        for (size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(places[i].width, sizes[i].width);
            EXPECT_TRUE(inside(places[i], c.area)) << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(overlap(places[i], places[j])) << i << " over " << j;
        }
        EXPECT_LT(places[1].y + places[1].height, places[0].y + 1) << "the plots are above the strip";
        EXPECT_NEAR(places[0].x + places[0].width / 2, c.area.x + c.area.width / 2, 1) << "the strip is centred";
    }
}
