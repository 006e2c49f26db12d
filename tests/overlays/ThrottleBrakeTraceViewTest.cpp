// The throttle/brake strip draws frame after frame without touching the heap
// once its rings are full, at its designed size and scaled up: every global
// operator new of this executable is counted, and a few hundred frames of a
// real window with a GL context must not add to the count.
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "ThrottleBrakeTraceView.h"
#include "counting_new.h"
#include "test_display.h"

namespace {

// The model's side of the strip, kept by hand: five rings of `length` samples
// that grow to full length and are then overwritten in place, one write
// position for all, as the history model does.
class StripRings {
public:
    explicit StripRings(size_t length) : length(length)
    {
        for (auto* v : {&time, &throttle, &brake, &zoneT, &zoneB})
            v->reserve(length);
    }

    ThrottleBrakeTraceView::HistoryPtrMap pointers()
    {
        return {{IDataStrings::SESSION_TIME, &time},
                {IDataStrings::THROTTLE, &throttle},
                {IDataStrings::BRAKE, &brake},
                {IDataStrings::ZONE_T, &zoneT},
                {IDataStrings::ZONE_B, &zoneB}};
    }

    // One tick at 60 samples a second: pedals that swing between flat
    // stretches, as a lap's do. Returns the start index after the write.
    unsigned int tick()
    {
        const float t = static_cast<float>(ticks++) / 60.0f;
        const float thr = std::fmin(1.0f, std::fmax(0.0f, 1.5f * std::sin(t)));
        const float brk = std::fmin(1.0f, std::fmax(0.0f, -1.5f * std::sin(t)));
        const float values[5] = {t, thr, brk, thr > 0.99f ? 1.0f : 0.0f, brk > 0.01f ? 1.0f : 0.0f};
        std::vector<float>* rings[5] = {&time, &throttle, &brake, &zoneT, &zoneB};
        for (int i = 0; i < 5; ++i) {
            if (rings[i]->size() < length)
                rings[i]->push_back(values[i]);
            else
                (*rings[i])[pos] = values[i];
        }
        pos = (pos + 1) % length;
        return time.size() < length ? 0u : static_cast<unsigned int>(pos);
    }

private:
    size_t length;
    size_t pos = 0;
    long ticks = 0;
    std::vector<float> time, throttle, brake, zoneT, zoneB;
};

} // namespace

TEST(ThrottleBrakeTraceView, FramesWithFullRingsMakeNoHeapAllocationAtAnyScale)
{
    REQUIRE_TEST_DISPLAY();
    const long before = heapAllocations();
    // A call of the operator itself, which the compiler may not leave out as
    // it may a new-expression whose result is never used.
    ::operator delete(::operator new(8));
    ASSERT_GT(heapAllocations(), before) << "the counting operator new is not in use";

    for (float scale : {1.0f, 2.0f}) {
        const size_t samples = 625; // 10 s at the live client's 16 ms time-out
        StripRings rings(samples);
        Qvis::WindowStyle style;
        style.scale = scale;
        ThrottleBrakeTraceView view(rings.pointers(), 10, style);
        EXPECT_EQ(view.getWidth(), static_cast<int>(700 * scale));
        EXPECT_EQ(view.getHeight(), static_cast<int>(80 * scale));

        // Fill the rings drawing every pass, as the main loop does, then go on
        // a while so that the first frames with full rings are behind.
        for (size_t i = 0; i < samples + 60; ++i)
            view.drawView(rings.tick());

        const long atFull = heapAllocations();
        for (int frame = 0; frame < 300; ++frame)
            view.drawView(rings.tick());
        EXPECT_EQ(heapAllocations() - atFull, 0) << "heap allocations in 300 frames of the strip at scale " << scale;
    }
}
