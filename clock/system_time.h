// The time handed to the system clock, shaped like the Windows SYSTEMTIME so
// that both platforms (and the dry-run clock) see the same value.
#pragma once

#include <cstdint>

#include "timebase/civil_days.h"

struct SystemTime {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;  // not filled; no clock of ours reads it
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// The range SetSystemTime accepts: year 1601..30827, a real calendar date,
// hour < 24, minute < 60, second < 60, milliseconds < 1000. Every clock of
// ours refuses anything else, so a telegram with a month of 14 can never be
// normalised into some other date and reported as set.
bool IsValidSystemTime(const SystemTime& time);
