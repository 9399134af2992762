// German legal time and the DCF77 telegram that describes a minute: what the
// transmitter sends, for the simulated signal and for a receiver that wants to
// know what it should have heard.
//
// All instants are UTC milliseconds since 1970-01-01 00:00 (signed 64 bits).
#pragma once

#include <cstdint>

namespace dcf77 {

constexpr int64_t kSecondMs = 1000;
constexpr int64_t kMinuteMs = 60 * kSecondMs;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kDayMs = 24 * kHourMs;

// Floor division and modulo for instants before 1970 as well.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// UTC milliseconds of a UTC calendar time.
int64_t UtcMs(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// German legal time switches at 01:00 UTC on the last Sunday of March (to CEST)
// and of October (back to CET).
int64_t SummerTimeStartUtc(int year);
int64_t SummerTimeEndUtc(int year);
bool IsSummerTime(int64_t utcMs);

// German legal time of a UTC instant.
struct LegalTime {
    int year;     // four digits
    int month;    // 1..12
    int day;      // 1..31
    int weekday;  // 1 Monday .. 7 Sunday
    int hour;
    int minute;
    int second;
    bool summer;  // CEST (UTC+2) rather than CET (UTC+1)
};
LegalTime GermanLegalTime(int64_t utcMs);

// A value of 0..99 as the telegram sends it: tens in the upper four bits.
constexpr uint32_t Bcd(int value) { return static_cast<uint32_t>((value / 10) << 4 | (value % 10)); }

// The bits for a given legal time (the minute the telegram describes), status
// bits given explicitly: useful for telegrams the calendar never produces.
uint64_t EncodeTelegram(const LegalTime& described, bool announceSwitch, bool callBit = false);

inline int TelegramBit(uint64_t bits, int second) { return static_cast<int>((bits >> second) & 1u); }

// The telegram that describes the minute starting at `describedMinuteStart`
// (sent during the minute before it): A1 (bit 16) set in the hour before a
// switch of legal time, no call bit, no leap-second announcement.
uint64_t TelegramDescribing(int64_t describedMinuteStart);

}  // namespace dcf77
