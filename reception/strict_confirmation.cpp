#include "reception/strict_confirmation.h"

#include "timebase/civil_days.h"
#include "timebase/legal_time.h"

bool strictConfirmation = false;

namespace strict {

// The minute mark comes 2.0 s after the start of the minute's last mark
// (second 58). With the mark of second 0 missing as well the mark of second 1
// ends the gap, 3.0 s after it. Measured from the start of a mark, a late end
// or a glitch after it cannot shorten the gap; the bound leaves the real frame
// 0.3 s for late starts and jitter, and refuses a last mark up to 0.7 s late
// in front of a missing one (later ones fail the spacing below).
//
// Interference locked to the minute can keep a parity and shift the time by
// hours, in some hours of the day only: two hour bits lengthened give +3 h in
// hours 00, 04, 10, 14 and 20, the right time in 03, 07, 13, 17 and 23, and
// malformed telegrams in the rest. A confirmed time line is therefore given up
// only when for a whole day no chain has confirmed it while every chain that
// contradicted it agreed on one other time. Of all such pairs, hour bits 1
// and 10 keep the right time away longest: +11 h from 00 to 08, nine hours.
// The confirmation bench shows both choices against other values.
Bounds bounds;

namespace {

// The last mark itself must start a second after the one before it, or it may
// be a glitch standing in for a missing mark 58 just before a missing mark 0.
constexpr int32_t kMinLastMarkSpacing = 70;
constexpr int32_t kMaxLastMarkSpacing = 130;
constexpr int32_t kHundredthsPerMinute = 6000;
constexpr int32_t kMarkTolerance = 50;

constexpr int64_t kMsPerMinute = 60000;
// Beyond this a crystal's drift and the stamps' wrap make a carried line
// worthless.
constexpr uint32_t kCarryLimitMs = 20u * 24u * 3600u * 1000u;

TelegramFacts held[2];

// The last confirmed time and the chains that contradict it.
struct TimeLine {
    bool held = false;
    TelegramFacts anchor;
    bool challenged = false;
    int64_t challengerOffset = 0;    // minutes the contradicting chains lie off the line
    uint32_t challengedSinceMs = 0;  // the first of them since the line was last confirmed
};
TimeLine line;

// A BCD digit: bits first.. weighted 1, 2, 4, 8 from the lowest up.
int Digit(int first, int width) {
    int value = 0;
    for (int i = 0; i < width; ++i) value |= GetBit(first + i) << i;
    return value;
}

int64_t UtcMinute(int year, int month, int day, int hour, int minute, bool summer) {
    const int offset = summer ? 120 : 60;  // German legal time is UTC+1 or UTC+2
    return DaysFromCivil(year, month, day) * 1440 + hour * 60 + minute - offset;
}

// Whether the summer-time bit is the one the EU rule gives for the time it
// stands for. A local time that does not exist (02:30 on the spring day)
// fails. The hour that repeats on the autumn day is real in both states; A1,
// which the transmitter sends only in the hour before the change, tells which
// one a telegram is, but for the minutes at either end of the hour.
bool SummerTimeFits(int64_t utcMinute, int year, bool summer, bool announced) {
    if (summer != dcf77::IsSummerTime(utcMinute * dcf77::kMinuteMs)) return false;
    const int64_t end = dcf77::SummerTimeEndUtc(year) / dcf77::kMinuteMs;
    if (summer && utcMinute > end - 60 && utcMinute < end) return announced;
    if (!summer && utcMinute > end && utcMinute < end + 60) return !announced;
    return true;
}

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

bool Adopt(const TelegramFacts& current) {
    line = TimeLine{};
    line.held = true;
    line.anchor = current;
    return true;
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
    if (weekday != WeekdayOfDays(DaysFromCivil(year, month, day))) return false;
    const bool summer = GetBit(17) != 0;
    const int64_t utc = UtcMinute(year, month, day, hour, minuteTens * 10 + minuteUnits, summer);
    return SummerTimeFits(utc, year, summer, GetBit(16) != 0);
}

TelegramFacts FactsOf(const TDcfTelegram& telegram, const MinuteFrame& frame) {
    TelegramFacts facts;
    facts.framed = frame.lastMarkToMinute <= bounds.maxLastMarkToMinute &&
                   frame.lastMarkSpacing >= kMinLastMarkSpacing &&
                   frame.lastMarkSpacing <= kMaxLastMarkSpacing;
    facts.utcMinute = UtcMinute(FourDigitYear(telegram.year), telegram.month, telegram.day,
                                telegram.hour, telegram.minute, telegram.summerTime != 0);
    facts.markTime = telegram.markTime;
    facts.markMs = frame.markMs;
    facts.pauses = EdgePauses();
    return facts;
}

void Hold(int slot, const TelegramFacts& facts) { held[slot] = facts; }

bool ChainHolds(const TelegramFacts& current) {
    return held[0].framed && held[1].framed && current.framed && Advances(held[0], held[1]) &&
           Advances(held[1], current);
}

bool OnTimeLine(const TelegramFacts& current) {
    if (bounds.giveUpMs == 0) return true;
    const uint32_t elapsed = current.markMs - line.anchor.markMs;
    // Time measured across a pause of the edges, or too long ago, carries nothing.
    if (line.held && (current.pauses != line.anchor.pauses || elapsed > kCarryLimitMs)) line = TimeLine{};
    if (!line.held) return Adopt(current);

    const int64_t carried = line.anchor.utcMinute + (int64_t{elapsed} + kMsPerMinute / 2) / kMsPerMinute;
    if (current.utcMinute == carried) return Adopt(current);
    const int64_t offset = current.utcMinute - carried;
    if (!line.challenged || offset != line.challengerOffset) {
        line.challenged = true;
        line.challengerOffset = offset;
        line.challengedSinceMs = current.markMs;
        return false;
    }
    if (current.markMs - line.challengedSinceMs < bounds.giveUpMs) return false;
    return Adopt(current);  // the line itself was the wrong one
}

void Slide(const TelegramFacts& current) {
    held[0] = held[1];
    held[1] = current;
}

void Reset() {
    held[0] = held[1] = TelegramFacts{};
    line = TimeLine{};
}

}  // namespace strict
