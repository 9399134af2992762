#include "reception/strict_confirmation.h"

#include "reception/edge_decoder.h"
#include "timebase/civil_days.h"

bool strictConfirmation = false;

namespace strict {
namespace {

// The minute gap is the idle rest of second 58 plus all of second 59: 1.8 to
// 1.9 s. With the mark of second 0 missing as well it is 2.8 to 2.9 s, and the
// mark of second 1 would be taken for the minute mark. Halfway between them.
constexpr int32_t kMaxOneMarkGap = 250;
constexpr int32_t kHundredthsPerMinute = 6000;
constexpr int32_t kMarkTolerance = 50;

TelegramFacts held[2];

// A BCD digit: bits first.. weighted 1, 2, 4, 8 from the lowest up.
int Digit(int first, int width) {
    int value = 0;
    for (int i = 0; i < width; ++i) value |= GetBit(first + i) << i;
    return value;
}

// 1970-01-01 was a Thursday; weekdays run 1 Monday .. 7 Sunday as sent.
int Weekday(int64_t days) { return static_cast<int>(((days + 3) % 7 + 7) % 7) + 1; }

// Whether the minute marks of `older` and `newer` lie a whole number of
// minutes apart (to the tolerance of the ordinary rule, on both sides), and
// their times differ by exactly that many minutes.
bool Advances(const TelegramFacts& older, const TelegramFacts& newer) {
    const int32_t measured = static_cast<int32_t>(static_cast<uint32_t>(newer.markTime) -
                                                  static_cast<uint32_t>(older.markTime));
    if (measured <= 0) return false;
    const int32_t minutes = (measured + kHundredthsPerMinute / 2) / kHundredthsPerMinute;
    const int32_t off = measured - minutes * kHundredthsPerMinute;
    return minutes > 0 && off <= kMarkTolerance && -off <= kMarkTolerance &&
           newer.utcMinute - older.utcMinute == minutes;
}

}  // namespace

bool SoundTelegram() {
    if (GetBit(17) == GetBit(18)) return false;  // summer time and winter time are exclusive
    const int minuteUnits = Digit(21, 4), minuteTens = Digit(25, 3);
    const int hourUnits = Digit(29, 4), hourTens = Digit(33, 2);
    const int dayUnits = Digit(36, 4), dayTens = Digit(40, 2);
    const int weekday = Digit(42, 3);
    const int monthUnits = Digit(45, 4), monthTens = Digit(49, 1);
    const int yearUnits = Digit(50, 4), yearTens = Digit(54, 4);
    if (minuteUnits > 9 || minuteTens > 5 || hourUnits > 9 || dayUnits > 9 || monthUnits > 9 ||
        yearUnits > 9 || yearTens > 9)
        return false;
    const int hour = hourTens * 10 + hourUnits;
    const int month = monthTens * 10 + monthUnits;
    if (hour > 23 || month < 1 || month > 12) return false;
    const int year = FourDigitYear(yearTens * 10 + yearUnits);
    const int day = dayTens * 10 + dayUnits;
    if (day < 1 || day > DaysInMonth(year, month)) return false;
    return weekday == Weekday(DaysFromCivil(year, month, day));
}

TelegramFacts FactsOf(const TDcfTelegram& telegram, int32_t minuteGap) {
    TelegramFacts facts;
    facts.framed = minuteGap <= kMaxOneMarkGap;
    const int64_t days = DaysFromCivil(FourDigitYear(telegram.year), telegram.month, telegram.day);
    const int offset = telegram.summerTime ? 120 : 60;  // German legal time is UTC+1 or UTC+2
    facts.utcMinute = days * 1440 + telegram.hour * 60 + telegram.minute - offset;
    facts.markTime = telegram.markTime;
    return facts;
}

void Hold(int slot, const TelegramFacts& facts) { held[slot] = facts; }

bool ChainHolds(const TelegramFacts& current) {
    return held[0].framed && held[1].framed && current.framed && Advances(held[0], held[1]) &&
           Advances(held[1], current);
}

void Slide(const TelegramFacts& current) {
    held[0] = held[1];
    held[1] = current;
}

}  // namespace strict
