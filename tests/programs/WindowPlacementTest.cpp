// The saved window position as it is written and read back.
#include <string>

#include <gtest/gtest.h>

#include "WindowPlacement.h"

TEST(WindowPosition, ReadsTwoWholeNumbersAndNothingElse)
{
    struct Case {
        const char* text;
        bool ok;
        int x, y;
    };
    const Case cases[] = {
        {"10,20", true, 10, 20},
        {"-700, 35", true, -700, 35},
        {" 5 ,6 ", true, 5, 6},
        {"1000000,-1000000", true, 1000000, -1000000},
        {"1000001,0", false, 0, 0},
        {"99999999999999999999,1", false, 0, 0},
        {"10", false, 0, 0},
        {"10,", false, 0, 0},
        {",10", false, 0, 0},
        {"10;20", false, 0, 0},
        {"10,20,30", false, 0, 0},
        {"1.5,2", false, 0, 0},
        {"x,y", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        int x = 123, y = 456;
        EXPECT_EQ(parsePosition(c.text, &x, &y), c.ok) << c.text;
        EXPECT_EQ(x, c.ok ? c.x : 123) << c.text;
        EXPECT_EQ(y, c.ok ? c.y : 456) << c.text;
    }
    int x = 0, y = 0;
    EXPECT_TRUE(parsePosition(formatPosition(-12, 34), &x, &y));
    EXPECT_EQ(x, -12);
    EXPECT_EQ(y, 34);
}
