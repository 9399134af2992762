// Calendar arithmetic every part needs, written once: day numbers, month
// lengths and the telegram's year window, for telegram dates, reference
// times and the simulated signal alike.
#pragma once

#include <cstdint>

// Days since 1970-01-01 of a proleptic Gregorian date (negative before it).
// Counting years from March puts the leap day last, so a year's day number
// needs no leap-year test.
constexpr int64_t DaysFromCivil(int year, int month, int day) {
    const int64_t y = int64_t{year} - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Days of a month in a Gregorian year; 0 for a month outside 1..12.
constexpr int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) return 29;
    return kDays[month - 1];
}

// Weekday of a day number, 1 Monday .. 7 Sunday, as DCF77 sends it
// (1970-01-01 was a Thursday).
constexpr int WeekdayOfDays(int64_t days) { return static_cast<int>(((days + 3) % 7 + 7) % 7) + 1; }

// Day number of a month's last Sunday: German legal time switches at 01:00
// UTC on the last Sundays of March and October.
constexpr int64_t LastSunday(int year, int month) {
    const int64_t last = DaysFromCivil(year, month, DaysInMonth(year, month));
    return last - WeekdayOfDays(last) % 7;
}

// Four-digit year of a telegram's two-digit one: 0..97 are 2000..2097, 98 and
// 99 are 1998 and 1999. Anything else is no year at all and gives 0, which
// every clock refuses.
constexpr int FourDigitYear(int twoDigitYear) {
    if (twoDigitYear < 0 || twoDigitYear > 99) return 0;
    return twoDigitYear < 98 ? 2000 + twoDigitYear : 1900 + twoDigitYear;
}

static_assert(DaysFromCivil(1970, 1, 1) == 0);
static_assert(DaysFromCivil(2000, 3, 1) == 11017);
static_assert(LastSunday(2026, 10) == DaysFromCivil(2026, 10, 25));
