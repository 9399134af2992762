#include "input/dcf77_signal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(Dcf77Encoder, LegalTimeAndItsSwitchDates) {
    const struct { int year, marchDay, octoberDay; } switches[] = {
        {2024, 31, 27}, {2025, 30, 26}, {2026, 29, 25}, {2027, 28, 31}, {2000, 26, 29}};
    for (const auto& c : switches) {
        EXPECT_EQ(SummerTimeStartUtc(c.year), UtcMs(c.year, 3, c.marchDay, 1)) << c.year;
        EXPECT_EQ(SummerTimeEndUtc(c.year), UtcMs(c.year, 10, c.octoberDay, 1)) << c.year;
    }
    // year, month, day, weekday, hour, minute, summer
    const std::pair<int64_t, std::vector<int>> cases[] = {
        {UtcMs(2026, 3, 29, 1) - 1, {2026, 3, 29, 7, 1, 59, 0}}, {UtcMs(2026, 3, 29, 1), {2026, 3, 29, 7, 3, 0, 1}},
        {UtcMs(2026, 10, 25, 0, 59), {2026, 10, 25, 7, 2, 59, 1}},
        {UtcMs(2026, 10, 25, 1), {2026, 10, 25, 7, 2, 0, 0}},  // the hour from 2 to 3 comes twice
        {UtcMs(2026, 12, 31, 23), {2027, 1, 1, 5, 0, 0, 0}},   // New Year comes an hour before UTC's
        {0, {1970, 1, 1, 4, 1, 0, 0}},
    };
    for (const auto& [utc, expected] : cases) {
        const LegalTime t = GermanLegalTime(utc);
        EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.weekday, t.hour, t.minute, t.summer}), expected) << utc;
    }
}

TEST(Dcf77Encoder, AnnouncementInTheHourBeforeASwitch) {
    for (const int64_t change : {SummerTimeStartUtc(2026), SummerTimeEndUtc(2026)}) {
        for (int64_t t = change - 2 * kHourMs; t < change + kHourMs; t += kMinuteMs)
            EXPECT_EQ(TelegramBit(EncodeMinute(t), 16), t >= change - kHourMs && t < change) << t;
        // The last telegram before the switch already describes the new time.
        EXPECT_EQ(TelegramBit(EncodeMinute(change - kMinuteMs), 17), IsSummerTime(change) ? 1 : 0);
    }
}

TEST(Dcf77EdgeStream, CleanMinuteOnTheSampleGrid) {
    const EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 12, 6, 13, 5), 1);
    const auto edges = GenerateEdgeVector(options);
    // Levels alternate, starting with the end of second 55's mark (the sampler
    // remembers 0); stamps on the 25 ms grid; each mark 100 or 200 ms.
    for (size_t i = 0; i < edges.size(); ++i) {
        ASSERT_EQ(edges[i].level, i % 2 == 0 ? 1 : 0) << i;
        ASSERT_EQ((edges[i].stampMs - options.firstStampMs) % 25u, 0u) << i;
        const uint32_t mark = i % 2 == 0 && i > 0 ? edges[i].stampMs - edges[i - 1].stampMs : 100;
        ASSERT_TRUE(mark == 100 || mark == 200) << i;
    }
    // Then start and end of the marks of seconds 56..58, of the minute's 59, and of the closing minute mark.
    EXPECT_EQ(edges.size(), 1 + 2 * (3 + 59 + 1u));
}

}  // namespace
