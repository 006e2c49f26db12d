#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "yaml_parser.h"

namespace {

struct Lookup {
    const char* path;
    bool found;
    const char* value;
};

// Runs every lookup of a table over one text; the path is copied into a
// buffer of exactly its size so that a read past its end is caught by the
// address sanitizer.
void expectLookups(const std::string& text, const std::vector<Lookup>& table)
{
    for (const Lookup& row : table) {
        SCOPED_TRACE(row.path);
        const std::vector<char> path(row.path, row.path + std::char_traits<char>::length(row.path) + 1);
        const char* val = "junk";
        int len = 99;
        const bool found = parseYaml(text.c_str(), path.data(), &val, &len);
        EXPECT_EQ(found, row.found);
        if (found) {
            ASSERT_NE(val, nullptr);
            EXPECT_GE(val, text.c_str());
            EXPECT_LE(val + len, text.c_str() + text.size());
            EXPECT_EQ(std::string(val, static_cast<size_t>(len)), row.value);
        } else {
            EXPECT_EQ(val, nullptr);
            EXPECT_EQ(len, 0);
        }
    }
}

TEST(SessionLookup, NestedKeysAndSectionEnds)
{
    expectLookups("Outer:\n Inner: red\nOther: blue\n", {
        {"Outer:Inner:", true, "red"},
        {"Other:", true, "blue"},
        {"Outer:Other:", true, "blue"}, // a sibling at the same depth is still searched
        {"Inner:", true, "red"},        // the first key need not be at depth 0
        {"Outer:", true, ""},
        {"Outer:Missing:", false, ""},
        {"Outer:Inner:Deep:", false, ""}, // Other: is shallower than Inner:
        {"Out:", false, ""},
        {"", false, ""},
    });
}

TEST(SessionLookup, ListItemsChosenBySelector)
{
    expectLookups("Items:\n - Id: 1\n   Label: A\n - Id: 2\n   Label: B\n", {
        {"Items:Id:{2}Label:", true, "B"},
        {"Items:Id:{7}Label:", false, ""},
        {"Items:Id:{1}Label:", true, "A"},
        {"Items:Id:{}Label:", false, ""},
        {"Items:Id:{12}Label:", false, ""}, // selector longer than the value
        // An unclosed selector is outside the syntax: false, never a read past the path.
        {"Items:Id:{2", false, ""},
        {"Items:Id:{", false, ""},
        {"Items:Id:{1}Label:{A", false, ""},
    });
}

TEST(SessionLookup, ValuesAndOddLines)
{
    expectLookups("Key: v", {{"Key:", false, ""}}); // the last line has no line break
    expectLookups("Trail: a b  \nColons: x:y - z\nLead: :x\nabc\n def: found\n\tTab: t\nNoValue:   \n", {
        {"Trail:", true, "a b  "},
        {"Colons:", true, "x:y - z"},
        {"Lead:", true, ":x"},
        {"abcdef:", true, "found"}, // a key without a colon matches a prefix of the path
        {"Tab:", false, ""},        // a tab starts the key
        {"\tTab:", true, "t"},
        {"NoValue:", true, ""},
    });
    // CR LF pairs and empty lines end one line each.
    expectLookups("A:\r\n\r\n B: one\r\n\r\nC: two\r\n", {
        {"A:B:", true, "one"},
        {"C:", true, "two"},
        {"A:C:", true, "two"},
    });
}

TEST(SessionLookup, RealisticSessionText)
{
    const std::string text =
        "---\r\n"
        "WeekendInfo:\r\n"
        " TrackName: harbour_loop\r\n"
        " TrackLength: 2.41 km\r\n"
        " WeekendOptions:\r\n"
        "  NumStarters: 3\r\n"
        "  TimeOfDay: 2:00 pm\r\n"
        "SessionInfo:\r\n"
        " Sessions:\r\n"
        " - SessionNum: 0\r\n"
        "   SessionType: Practice\r\n"
        "   ResultsPositions:\r\n"
        "   - Position: 1\r\n"
        "     CarIdx: 2\r\n"
        "     FastestTime: 61.2040\r\n"
        "   - Position: 2\r\n"
        "     CarIdx: 0\r\n"
        "     FastestTime: 61.9930\r\n"
        " - SessionNum: 1\r\n"
        "   SessionType: Race\r\n"
        "   ResultsPositions:\r\n"
        "   - Position: 1\r\n"
        "     CarIdx: 0\r\n"
        "     FastestTime: 60.8800\r\n"
        "DriverInfo:\r\n"
        " DriverCarIdx: 0\r\n"
        " Drivers:\r\n"
        " - CarIdx: 0\r\n"
        "   UserName: Ann Example\r\n"
        "   CarNumber: \"12\"\r\n"
        " - CarIdx: 2\r\n"
        "   UserName: Bo Sample\r\n"
        "   CarNumber: \"5\"\r\n"
        "...\r\n";
    expectLookups(text, {
        {"WeekendInfo:TrackName:", true, "harbour_loop"},
        {"WeekendInfo:WeekendOptions:TimeOfDay:", true, "2:00 pm"},
        {"WeekendInfo:WeekendOptions:DriverCarIdx:", false, ""},
        {"SessionInfo:Sessions:SessionNum:{1}SessionType:", true, "Race"},
        {"SessionInfo:Sessions:SessionNum:{0}ResultsPositions:Position:{2}FastestTime:", true, "61.9930"},
        {"SessionInfo:Sessions:SessionNum:{1}ResultsPositions:CarIdx:{0}FastestTime:", true, "60.8800"},
        {"DriverInfo:Drivers:CarIdx:{2}UserName:", true, "Bo Sample"},
        {"DriverInfo:Drivers:CarIdx:{0}CarNumber:", true, "\"12\""},
        {"DriverInfo:Drivers:CarIdx:{7}UserName:", false, ""},
        {"DriverInfo:DriverCarIdx:", true, "0"},
    });
}

TEST(SessionLookup, NullArgumentsFail)
{
    const char* val = "junk";
    int len = 5;
    EXPECT_FALSE(parseYaml(nullptr, "A:", &val, &len));
    EXPECT_EQ(val, nullptr);
    EXPECT_EQ(len, 0);
    EXPECT_FALSE(parseYaml("A: 1\n", nullptr, &val, &len));
    EXPECT_FALSE(parseYaml("A: 1\n", "A:", nullptr, &len));
    EXPECT_FALSE(parseYaml("A: 1\n", "A:", &val, nullptr));
}

TEST(SessionLookup, CopyingTheValueOut)
{
    struct Row {
        int len;
        int valLen;
        int result;
        const char* copied;
    };
    const Row rows[] = {
        {9, 5, -9, "abcde"},
        {9, 9, 1, "abcdefghi"},
        {9, 20, 1, "abcdefghi"},
        {0, 4, 1, ""},
        {9, 0, 0, "unchanged"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.valLen);
        std::vector<char> out(static_cast<size_t>(r.valLen) + 1 > 10 ? static_cast<size_t>(r.valLen) + 1 : 10, '#');
        std::snprintf(out.data(), out.size(), "unchanged");
        EXPECT_EQ(irsdk_copySessionValue("abcdefghi", r.len, out.data(), r.valLen), r.result);
        EXPECT_STREQ(out.data(), r.copied);
    }
}

} // namespace
