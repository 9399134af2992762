#include "timebase/legal_time.h"

#include <bit>
#include <initializer_list>

#include "timebase/civil_days.h"

namespace dcf77 {

int64_t DaysFromCivil(int year, int month, int day) { return ::DaysFromCivil(year, month, day); }

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(m);
    year = static_cast<int>(yearOfEra + era * 400 + (m <= 2 ? 1 : 0));
}

int64_t UtcMs(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, month, day) * kDayMs + hour * kHourMs + minute * kMinuteMs +
           second * kSecondMs;
}

namespace {

int64_t LastSundayOneUtc(int year, int month) { return LastSunday(year, month) * kDayMs + kHourMs; }

int UtcYear(int64_t utcMs) {
    int year = 0, month = 0, day = 0;
    CivilFromDays(FloorDiv(utcMs, kDayMs), year, month, day);
    return year;
}

// Writes `value` as BCD into `width` bits from `first`; returns the number of ones.
int PutBcd(uint64_t& bits, int first, int width, int value) {
    const uint64_t field = Bcd(value) & ((uint64_t{1} << width) - 1);
    bits |= field << first;
    return std::popcount(field);
}

}  // namespace

int64_t SummerTimeStartUtc(int year) { return LastSundayOneUtc(year, 3); }
int64_t SummerTimeEndUtc(int year) { return LastSundayOneUtc(year, 10); }

bool IsSummerTime(int64_t utcMs) {
    const int year = UtcYear(utcMs);
    return utcMs >= SummerTimeStartUtc(year) && utcMs < SummerTimeEndUtc(year);
}

LegalTime GermanLegalTime(int64_t utcMs) {
    LegalTime t{};
    t.summer = IsSummerTime(utcMs);
    const int64_t local = utcMs + (t.summer ? 2 : 1) * kHourMs;
    const int64_t days = FloorDiv(local, kDayMs);
    const int64_t msOfDay = local - days * kDayMs;
    CivilFromDays(days, t.year, t.month, t.day);
    t.weekday = WeekdayOfDays(days);
    t.hour = static_cast<int>(msOfDay / kHourMs);
    t.minute = static_cast<int>(msOfDay / kMinuteMs % 60);
    t.second = static_cast<int>(msOfDay / kSecondMs % 60);
    return t;
}

uint64_t EncodeTelegram(const LegalTime& described, bool announceSwitch, bool callBit) {
    uint64_t bits = 0;
    auto set = [&bits](int bit, bool on) {
        if (on) bits |= uint64_t{1} << bit;
    };
    set(15, callBit);
    set(16, announceSwitch);
    set(17, described.summer);
    set(18, !described.summer);
    set(20, true);  // start of the time information, always 1
    set(28, PutBcd(bits, 21, 7, described.minute) % 2 != 0);
    set(35, PutBcd(bits, 29, 6, described.hour) % 2 != 0);
    int dateOnes = PutBcd(bits, 36, 6, described.day);
    dateOnes += PutBcd(bits, 42, 3, described.weekday);
    dateOnes += PutBcd(bits, 45, 5, described.month);
    dateOnes += PutBcd(bits, 50, 8, described.year % 100);
    set(58, dateOnes % 2 != 0);
    return bits;
}

uint64_t TelegramDescribing(int64_t describedMinuteStart) {
    const int64_t sentDuring = FloorDiv(describedMinuteStart, kMinuteMs) * kMinuteMs - kMinuteMs;
    const int year = UtcYear(sentDuring);
    bool announce = false;
    for (int64_t change : {SummerTimeStartUtc(year), SummerTimeEndUtc(year)}) {
        if (sentDuring >= change - kHourMs && sentDuring < change) announce = true;
    }
    return EncodeTelegram(GermanLegalTime(sentDuring + kMinuteMs), announce);
}

}  // namespace dcf77
