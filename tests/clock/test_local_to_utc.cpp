// The arithmetic of a setting: local time to UTC, seconds since the mark, and
// the range every clock of ours accepts.
#include <gtest/gtest.h>

#include <array>

#include "clock/clock_setting.h"

namespace {

TEST(LocalToUtc, StepsBackOverDayMonthAndYear) {
    // Local {summer, year, month, day, hour} to UTC {year, month, day, hour}.
    const struct { int summer, year, month, day, hour; std::array<int, 4> utc; } cases[] = {
        {0, 24, 3, 1, 0, {24, 2, 29, 23}},   {0, 25, 3, 1, 0, {25, 2, 28, 23}},
        {0, 0, 3, 1, 0, {0, 2, 29, 23}},     // 00 is divisible by 4
        {0, 0, 1, 1, 0, {99, 12, 31, 23}},   {1, 26, 7, 1, 1, {26, 6, 30, 23}},
        // Telegram fields are unchecked: nothing may read past the month table.
        {0, 26, 14, 1, 0, {26, 13, 31, 23}}, {0, 26, 0, 1, 0, {25, 12, 31, 23}},
    };
    for (const auto& c : cases) {
        TDcfState state{};
        state.current.summerTime = static_cast<uint8_t>(c.summer);
        int year = c.year, month = c.month, day = c.day, hour = c.hour;
        LocalToUtc(state, year, day, hour, month);
        EXPECT_EQ((std::array{year, month, day, hour}), c.utc)
            << c.day << "." << c.month << "." << c.year << " " << c.hour << "h";
    }
}

TEST(SecondsSinceMark, RoundsToTheNearestSecondOnTheSignedClock) {
    EXPECT_EQ(SecondsSinceMark(1234560 + 490, 123456), 0);
    EXPECT_EQ(SecondsSinceMark(1234560 + 500, 123456), 1);
    EXPECT_EQ(SecondsSinceMark(1234560 - 1600, 123456), -1);  // behind the mark: toward zero
    // Past 2^31 ms the reading is negative, like the edge stamps.
    EXPECT_EQ(SecondsSinceMark(4294962500u, -729), 3);
}

TEST(SystemTimeRange, RefusesWhatSetSystemTimeRefuses) {
    const struct { SystemTime t; bool valid; } cases[] = {
        {{2024, 2, 0, 29, 23, 59, 59, 999}, true}, {{2025, 2, 0, 29, 0, 0, 0, 0}, false},
        {{1900, 2, 0, 29, 0, 0, 0, 0}, false},
        {{1601, 1, 0, 1, 0, 0, 0, 0}, true},       {{1600, 12, 0, 31, 0, 0, 0, 0}, false},
        {{30827, 12, 0, 31, 0, 0, 0, 0}, true},    {{30828, 1, 0, 1, 0, 0, 0, 0}, false},
        {{2026, 4, 9, 30, 0, 0, 0, 0}, true},  // the weekday is ignored
        {{2026, 4, 0, 0, 0, 0, 0, 0}, false},      {{2026, 13, 0, 1, 0, 0, 0, 0}, false},
        {{2026, 4, 0, 1, 24, 0, 0, 0}, false},     {{2026, 4, 0, 1, 0, 60, 0, 0}, false},
        {{2026, 4, 0, 1, 0, 0, 60, 0}, false},     {{2026, 4, 0, 1, 0, 0, 0, 1000}, false},
        // A second before the mark must not wrap into a valid one.
        {BuildSystemTime(TDcfTelegram{0, 0, 0, 0, 14, 7, 6, 12, 26, 5, 0, 0, 1}, 26, 12, 6, 13, 5, -1),
         false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidSystemTime(c.t), c.valid) << &c - cases;
}

}  // namespace
