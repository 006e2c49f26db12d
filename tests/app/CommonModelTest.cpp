// Ring histories: fill, wrap, one start index for all, session time relative
// to the first value, pointers that stay valid.
#include <vector>

#include <gtest/gtest.h>

#include "CommonModel.h"

using V = IDataStrings::VariableEnum;

namespace {

// The samples of a history in time order, unwrapped from the start index.
template <typename T>
std::vector<T> inTimeOrder(const std::vector<T>& h, unsigned start)
{
    std::vector<T> out(h.begin() + start, h.end());
    out.insert(out.end(), h.begin(), h.begin() + start);
    return out;
}

} // namespace

TEST(CommonModel, RingOfThreeFillsThenOverwritesTheOldest)
{
    CommonModel<int> m(3);
    m.addVar(V::GEAR);
    struct After {
        std::vector<int> history;
        unsigned start;
        std::vector<int> timeOrder;
    };
    const std::vector<After> expected = {
        {{1}, 0, {1}},
        {{1, 2}, 0, {1, 2}},
        {{1, 2, 3}, 0, {1, 2, 3}},
        {{4, 2, 3}, 1, {2, 3, 4}},
        {{4, 5, 3}, 2, {3, 4, 5}},
    };
    for (int pass = 0; pass < 5; ++pass) {
        m.setVar(V::SESSION_TIME, pass);
        m.setVar(V::GEAR, pass + 1);
        m.incrementIndex();
        const std::vector<int>& h = *m.getPtVar(V::GEAR);
        EXPECT_EQ(h, expected[pass].history) << "pass " << pass + 1;
        EXPECT_EQ(m.getCurrStartIndex(), expected[pass].start) << "pass " << pass + 1;
        EXPECT_EQ(inTimeOrder(h, m.getCurrStartIndex()), expected[pass].timeOrder);
    }
}

TEST(CommonModel, WrapsAt625AfterAThousandPassesWithoutMovingStorage)
{
    CommonModel<float> m(625);
    m.addVar(V::THROTTLE);
    m.addVar(V::LAP_DIST);
    const auto pts = m.getVarHistoryPts();
    const float* storage = pts.at(V::THROTTLE)->data();
    for (int i = 0; i < 1000; ++i) {
        m.setVar(V::SESSION_TIME, 10.0f + i);
        m.setVar(V::THROTTLE, static_cast<float>(i));
        m.incrementIndex();
    }
    const std::vector<float>& h = *pts.at(V::THROTTLE);
    EXPECT_EQ(h.size(), 625u);
    EXPECT_EQ(h.data(), storage) << "the history was reallocated";
    EXPECT_EQ(m.getCurrStartIndex(), 375u);
    EXPECT_EQ(h[375], 375.0f) << "oldest";
    EXPECT_EQ(h[374], 999.0f) << "newest";
    EXPECT_TRUE(pts.at(V::LAP_DIST)->empty()) << "added but never written";
}

TEST(CommonModel, HistoryOfOneKeepsOnlyTheNewestValue)
{
    CommonModel<double> m(1);
    for (int i = 0; i < 4; ++i) {
        m.setVar(V::SESSION_TIME, i);
        m.incrementIndex();
        EXPECT_EQ(m.getCurrStartIndex(), 0u);
    }
    EXPECT_EQ(*m.getPtVar(V::SESSION_TIME), std::vector<double>{3.0});
}

TEST(CommonModel, SessionTimeIsRelativeToTheFirstValueInEachType)
{
    CommonModel<float> f(4);
    f.setVar(V::SESSION_TIME, 1234.5f);
    f.setVar(V::SESSION_TIME, 1235.0f);
    EXPECT_EQ(*f.getPtVar(V::SESSION_TIME), (std::vector<float>{0.0f, 0.5f}));

    CommonModel<double> d(4);
    d.setVar(V::SESSION_TIME, 1234.5);
    d.setVar(V::SESSION_TIME, 1235.25);
    EXPECT_EQ(*d.getPtVar(V::SESSION_TIME), (std::vector<double>{0.0, 0.75}));

    CommonModel<int> i(4);
    i.setVar(V::SESSION_TIME, 100);
    i.setVar(V::SESSION_TIME, 103);
    EXPECT_EQ(*i.getPtVar(V::SESSION_TIME), (std::vector<int>{0, 3}));

    // Zero is a valid origin: only a negative origin means unset.
    CommonModel<float> z(4);
    z.setVar(V::SESSION_TIME, 0.0f);
    z.setVar(V::SESSION_TIME, 2.0f);
    EXPECT_EQ(*z.getPtVar(V::SESSION_TIME), (std::vector<float>{0.0f, 2.0f}));
}

TEST(CommonModel, AddingAVariableAgainKeepsItsValuesAndOtherSlotsAreNotTime)
{
    CommonModel<float> m(8);
    m.addVar(V::ZONE_B);
    m.setVar(V::ZONE_B, 7.0f);
    m.addVar(V::ZONE_B);
    m.addVar(V::SESSION_TIME);
    EXPECT_EQ(*m.getPtVar(V::ZONE_B), std::vector<float>{7.0f}) << "not made relative, not dropped";
    EXPECT_NE(m.getPtVar(V::ZONE_B), m.getPtVar(V::SESSION_TIME));
}

TEST(CommonModel, CopiesOfThePointerMapSeeLaterValues)
{
    CommonModel<float> m(2);
    m.addVar(V::BRAKE);
    const auto early = m.getVarHistoryPts();
    for (int i = 0; i < 5; ++i) {
        m.setVar(V::SESSION_TIME, static_cast<float>(i));
        m.setVar(V::BRAKE, i * 0.1f);
        m.incrementIndex();
    }
    EXPECT_EQ(early.at(V::BRAKE), m.getPtVar(V::BRAKE));
    EXPECT_FLOAT_EQ((*early.at(V::BRAKE))[0], 0.4f);
    EXPECT_THROW(m.getPtVar(V::GEAR), std::out_of_range);
}

TEST(CommonModel, HistoryLengthFollowsTheSourceTimeoutAndStaysUsable)
{
    struct Case {
        unsigned seconds;
        int timeoutMs;
        unsigned samples;
    };
    const Case cases[] = {
        {10, 16, 625}, {10, 15, 667}, {1, 1000, 1}, {10, 0, 10000}, {10, -5, 10000}, {0, 16, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(historySamples(c.seconds, c.timeoutMs), c.samples) << c.seconds << " s at " << c.timeoutMs << " ms";
}
