#include "input/dcf77_signal.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace dcf77;

namespace {

TEST(Dcf77Encoder, KnownWinterMinute) {
    // 14:05 CET on Sunday 06.12.26 is sent during 14:04 CET = 13:04 UTC; any instant inside it names it.
    const uint64_t bits = EncodeMinute(UtcMs(2026, 12, 6, 13, 4, 59) + 999);
    std::string s;
    for (int i = 0; i < 59; ++i) s += static_cast<char>('0' + TelegramBit(bits, i));
    EXPECT_EQ(s, "00000000000000000010110100000001010001100011101001011001000");
    EXPECT_EQ(bits >> 59, 0u);
}

TEST(Dcf77Encoder, SummerTimeSwitchDates) {
    const struct { int year, marchDay, octoberDay; } switches[] = {
        {2024, 31, 27}, {2025, 30, 26}, {2026, 29, 25}, {2027, 28, 31}, {2000, 26, 29}};
    for (const auto& c : switches) {
        EXPECT_EQ(SummerTimeStartUtc(c.year), UtcMs(c.year, 3, c.marchDay, 1)) << c.year;
        EXPECT_EQ(SummerTimeEndUtc(c.year), UtcMs(c.year, 10, c.octoberDay, 1)) << c.year;
    }
    // The first summer minute is 03:00 CEST; New Year comes an hour before UTC's.
    const LegalTime summer = GermanLegalTime(UtcMs(2026, 3, 29, 1));
    const LegalTime newYear = GermanLegalTime(UtcMs(2026, 12, 31, 23));
    EXPECT_EQ((std::array<int, 4>{summer.day, summer.hour, summer.minute, summer.summer}), (std::array<int, 4>{29, 3, 0, 1}));
    EXPECT_EQ((std::array{newYear.year, newYear.month, newYear.day, newYear.hour}), (std::array{2027, 1, 1, 0}));
}

}  // namespace
