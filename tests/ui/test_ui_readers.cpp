#include <gtest/gtest.h>

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
