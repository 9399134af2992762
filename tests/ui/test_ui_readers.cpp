#include <gtest/gtest.h>

#include "network/network.h"
#include "ui/command_line.h"
#include "ui/settings.h"

TEST(UiReaders, LeadingIntegerSaturatesAndProfileIntegersReadAsWindowsDoes) {
    const struct { const char* text; int32_t leading, profile; } cases[] = {
        {"", 0, 0}, {"+1000", 1000, 1000}, {" -5x", -5, -5}, {"0000000000000000042", 42, 42},
        {"99999999999999", INT32_MAX, 276447231}, {"-99999999999999", INT32_MIN, -276447231},
        {"0x10", 0, 16}, {"0b101", 0, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingInteger(c.text), c.leading) << c.text;
        EXPECT_EQ(ProfileIntFromText(c.text), c.profile) << c.text;
    }
}

TEST(UiReaders, CommandLineComparesWholeStrings) {
    const struct { std::vector<const char*> args; uint8_t polarity; int32_t group; } cases[] = {
        {{"p"}, 0, 0}, {{"p", "1", "N"}, 1, -1}, {{"p", "0", "N"}, 0, -1}, {{"p", "N"}, 0, 0},
        {{"p", "1", "n"}, 1, 0}, {{"p", "01", "N "}, 0, 0},
    };
    for (const auto& c : cases) {
        ownDcfState = TDcfState{};
        groupNameNumber = 0;
        ApplyCommandLine(static_cast<int>(c.args.size()), c.args.data());
        EXPECT_EQ(ownDcfState.polarity, c.polarity) << c.args.size();
        EXPECT_EQ(groupNameNumber, c.group) << c.args.size();
    }
    groupNameNumber = 0;
}
