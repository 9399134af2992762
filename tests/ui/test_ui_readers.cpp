#include <gtest/gtest.h>

#include "network/network.h"
#include "reception/dcf_state.h"
#include "ui/command_line.h"
#include "ui/settings.h"

TEST(UiReaders, LeadingIntegerSaturatesAndReadsTheWholeText) {
    const struct { const char* text; int32_t value; } cases[] = {
        {"", 0}, {"+", 0}, {"60", 60}, {"+1000", 1000}, {" 12x3", 12}, {"-5", -5},
        {"0000000000000000042", 42}, {"40000", 40000}, {"99999999999999", INT32_MAX},
        {"-99999999999999", INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(LeadingInteger(c.text), c.value) << c.text;
}

TEST(UiReaders, ProfileIntegersReadAsTheSystemDoes) {
    const struct { const char* text; int32_t value; } cases[] = {
        {"65536", 65536}, {" -3", -3}, {"0x10", 16}, {"0b101", 5}, {"0o17", 15},
        {"12abc", 12}, {"4294967297", 1}, {"x", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileIntFromText(c.text), c.value) << c.text;
    EXPECT_EQ(Low16(65536), 0);
    EXPECT_EQ(Low16(40000), -25536);
}

TEST(UiReaders, CycleFromProfileIsBroughtIntoTheFieldsRules) {
    const struct { bool autoEnd; int16_t in, out; } cases[] = {
        {true, -5, 4}, {true, 2, 4}, {true, 0, 0}, {true, 4, 4}, {true, 20000, 9999},
        {false, -5, 0}, {false, 2, 2}, {false, 10000, 9999},
    };
    for (const auto& c : cases) EXPECT_EQ(CycleFromProfile(c.autoEnd, c.in), c.out) << c.in;
}

TEST(UiReaders, CommandLineComparesWholeStrings) {
    const struct { std::vector<const char*> args; uint8_t polarity; int32_t group; } cases[] = {
        {{"p"}, 0, 0},           {{"p", "1"}, 1, 0},       {{"p", "1", "N"}, 1, -1},
        {{"p", "0", "N"}, 0, -1}, {{"p", "N"}, 0, 0},      {{"p", "1", "n"}, 1, 0},
        {{"p", "01", "N "}, 0, 0}, {{"p", "1x", "No"}, 0, 0},
    };
    for (const auto& c : cases) {
        ownDcfState = TDcfState{};
        groupNameNumber = 0;
        ApplyCommandLine(static_cast<int>(c.args.size()), c.args.data());
        EXPECT_EQ(ownDcfState.polarity, c.polarity) << c.args.size();
        EXPECT_EQ(groupNameNumber, c.group) << c.args.size();
        EXPECT_EQ(dcfPtr, &ownDcfState);
    }
    groupNameNumber = 0;
}
