#include <gtest/gtest.h>

#include "clock/clock_setting.h"

namespace {

struct LocalCase {
    const char* name;
    int summer;
    int year, month, day, hour;       // German legal time, two-digit year
    int utcYear, utcMonth, utcDay, utcHour;
};

class LocalToUtcTest : public ::testing::TestWithParam<LocalCase> {};

TEST_P(LocalToUtcTest, StepsBackOverDayMonthAndYear) {
    const LocalCase& c = GetParam();
    TDcfState state{};
    state.current.summerTime = static_cast<uint8_t>(c.summer);
    int year = c.year, month = c.month, day = c.day, hour = c.hour;
    LocalToUtc(state, year, day, hour, month);
    EXPECT_EQ(year, c.utcYear);
    EXPECT_EQ(month, c.utcMonth);
    EXPECT_EQ(day, c.utcDay);
    EXPECT_EQ(hour, c.utcHour);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, LocalToUtcTest,
    ::testing::Values(
        LocalCase{"SameDayWinter", 0, 26, 12, 6, 14, 26, 12, 6, 13},
        LocalCase{"SameDaySummer", 1, 26, 7, 6, 14, 26, 7, 6, 12},
        LocalCase{"MidnightWinterKeepsDay", 0, 26, 5, 10, 1, 26, 5, 10, 0},
        LocalCase{"SummerBeforeTwoGoesBack", 1, 26, 5, 10, 1, 26, 5, 9, 23},
        LocalCase{"LeapFebruary", 0, 24, 3, 1, 0, 24, 2, 29, 23},
        LocalCase{"CommonFebruary", 0, 25, 3, 1, 0, 25, 2, 28, 23},
        LocalCase{"Year00IsLeap", 0, 0, 3, 1, 0, 0, 2, 29, 23},
        LocalCase{"NewYear", 0, 27, 1, 1, 0, 26, 12, 31, 23},
        LocalCase{"NewYearFrom00To99", 0, 0, 1, 1, 0, 99, 12, 31, 23},
        LocalCase{"JuneHas30Days", 1, 26, 7, 1, 1, 26, 6, 30, 23},
        LocalCase{"SecondOfJuly", 1, 26, 7, 2, 1, 26, 7, 1, 23},
        LocalCase{"EndOfApril", 1, 26, 5, 1, 0, 26, 4, 30, 22},
        // Telegram fields are unchecked: nothing may read past the month table.
        LocalCase{"Month14TakesThirtyOneDays", 0, 26, 14, 1, 0, 26, 13, 31, 23},
        LocalCase{"Month0WrapsToDecember", 0, 26, 0, 1, 0, 25, 12, 31, 23},
        LocalCase{"Year100StepsTo99", 0, 100, 1, 1, 0, 99, 12, 31, 23}),
    [](const ::testing::TestParamInfo<LocalCase>& param) { return std::string(param.param.name); });

TEST(FourDigitYear, WindowFrom1998To2097AndNothingElse) {
    const struct { int twoDigits; int year; } cases[] = {
        {0, 2000}, {24, 2024}, {97, 2097}, {98, 1998}, {99, 1999},
        {100, 0},  {125, 0},   {165, 0},   {-1, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(FourDigitYear(c.twoDigits), c.year) << c.twoDigits;
}

TEST(SecondsSinceMark, RoundsToTheNearestSecondOnTheSignedClock) {
    const struct { uint32_t nowMs; int32_t markTime; int seconds; } cases[] = {
        {1234560, 123456, 0},          // right at the mark
        {1234560 + 490, 123456, 0},    // 0.49 s
        {1234560 + 500, 123456, 1},    // 0.5 s rounds up
        {1234560 + 2599, 123456, 3},   // 2.599 s
        {1234560 - 600, 123456, 0},    // a clock behind the mark truncates toward zero
        {1234560 - 1600, 123456, -1},
        // Past 2^31 ms the reading is negative, like the edge stamps.
        {4294962500u, -729, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SecondsSinceMark(c.nowMs, c.markTime), c.seconds) << c.nowMs << " " << c.markTime;
    }
}

TEST(BuildSystemTime, FillsFieldsAndRefusesWhatNoWordHolds) {
    const SystemTime t = BuildSystemTime(26, 26, 12, 6, 13, 5, 2);
    EXPECT_EQ(t.wYear, 2026);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 6);
    EXPECT_EQ(t.wHour, 13);
    EXPECT_EQ(t.wMinute, 5);
    EXPECT_EQ(t.wSecond, 2);
    EXPECT_EQ(t.wMilliseconds, 0);
    EXPECT_TRUE(IsValidSystemTime(t));

    // The telegram's own year decides: 100 stepped back to 99 is still no year.
    EXPECT_EQ(BuildSystemTime(100, 99, 12, 31, 23, 30, 0).wYear, 0);
    EXPECT_EQ(BuildSystemTime(0, 99, 12, 31, 23, 30, 0).wYear, 1999);
    // A negative second must not wrap into a valid one.
    EXPECT_FALSE(IsValidSystemTime(BuildSystemTime(26, 26, 12, 6, 13, 5, -1)));
    EXPECT_FALSE(IsValidSystemTime(BuildSystemTime(26, 26, 12, 6, 13, 5, 65536 + 5)));
}

TEST(SetterCommandLine, SevenNumbersTwoSpacesApart) {
    EXPECT_EQ(SetterCommandLine(1, 123456, 5, 3, 98, 14, 7),
              "CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7");
    EXPECT_EQ(SetterCommandLine(0, -5, 31, 12, 99, 23, 0),
              "CHRONVNW.EXE xnQWT58/bemp 0  -5  31  12  99  23  0");
}

TEST(SystemTimeRange, RefusesWhatSetSystemTimeRefuses) {
    const struct { SystemTime t; bool valid; } cases[] = {
        {{2024, 2, 0, 29, 23, 59, 59, 999}, true},
        {{2025, 2, 0, 29, 0, 0, 0, 0}, false},
        {{2000, 2, 0, 29, 0, 0, 0, 0}, true},
        {{1900, 2, 0, 29, 0, 0, 0, 0}, false},
        {{1601, 1, 0, 1, 0, 0, 0, 0}, true},
        {{1600, 12, 0, 31, 0, 0, 0, 0}, false},
        {{30827, 12, 0, 31, 0, 0, 0, 0}, true},
        {{30828, 1, 0, 1, 0, 0, 0, 0}, false},
        {{0, 1, 0, 1, 0, 0, 0, 0}, false},
        {{2026, 0, 0, 1, 0, 0, 0, 0}, false},
        {{2026, 13, 0, 1, 0, 0, 0, 0}, false},
        {{2026, 4, 0, 31, 0, 0, 0, 0}, false},
        {{2026, 4, 0, 0, 0, 0, 0, 0}, false},
        {{2026, 4, 0, 1, 24, 0, 0, 0}, false},
        {{2026, 4, 0, 1, 0, 60, 0, 0}, false},
        {{2026, 4, 0, 1, 0, 0, 60, 0}, false},
        {{2026, 4, 0, 1, 0, 0, 0, 1000}, false},
        {{2026, 4, 9, 1, 0, 0, 0, 0}, true},  // the weekday is ignored
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidSystemTime(c.t), c.valid)
            << c.t.wYear << "-" << c.t.wMonth << "-" << c.t.wDay << " " << c.t.wHour << ":"
            << c.t.wMinute << ":" << c.t.wSecond << "." << c.t.wMilliseconds;
    }
}

TEST(DryRunSystemClock, RecordsEveryRequestAndRefusesBadFields) {
    DryRunSystemClock clock;
    EXPECT_EQ(clock.SetSystemClock({2026, 12, 0, 6, 13, 5, 0, 0}), 0);
    EXPECT_EQ(clock.SetSystemClock({2026, 14, 0, 6, 13, 5, 0, 0}), 4);
    EXPECT_EQ(clock.RequestCount(), 2u);
    EXPECT_EQ(clock.LastResult(), 4);
    EXPECT_EQ(clock.LastRequest().wMonth, 14);
}

}  // namespace
