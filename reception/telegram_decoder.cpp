#include "reception/telegram_decoder.h"

#include <cstring>
#include <initializer_list>

#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "reception/strict_confirmation.h"

namespace {

constexpr uint8_t kCheckStartOfMinute = 1;
constexpr uint8_t kCheckStartOfTime = 2;
constexpr uint8_t kCheckMinuteParity = 4;
constexpr uint8_t kCheckHourParity = 8;
constexpr uint8_t kCheckDateParity = 16;
constexpr uint8_t kAllChecks = 31;

constexpr int32_t kHundredthsPerMinute = 6000;
constexpr int32_t kMarkTolerance = 50;

// Sum of the weights of the set bits from `first` on, in 16-bit arithmetic.
int16_t Field(int first, std::initializer_list<uint16_t> weights) {
    uint16_t sum = 0;
    int bit = first;
    for (uint16_t weight : weights) {
        if (GetBit(bit++)) sum = static_cast<uint16_t>(sum + weight);
    }
    return static_cast<int16_t>(sum);
}

// |minutes between a and b| in hundredths, less the measured time between
// their marks; the 32-bit difference of the marks wraps rather than overflows.
int32_t MinuteMismatch(const TDcfTelegram& older, const TDcfTelegram& newer) {
    int32_t minutes = static_cast<int32_t>(newer.minute) - static_cast<int32_t>(older.minute);
    if (minutes < 0) minutes = -minutes;
    const uint32_t measured =
        static_cast<uint32_t>(newer.markTime) - static_cast<uint32_t>(older.markTime);
    return static_cast<int32_t>(static_cast<uint32_t>(minutes * kHundredthsPerMinute) - measured);
}

void CopyTelegram(TDcfTelegram& to, const TDcfTelegram& from) {
    std::memcpy(&to, &from, sizeof(TDcfTelegram));
}

}  // namespace

void ConfirmCurrent(TDcfState& state) {
    state.confirmedCount = state.confirmedCount + 1u;
    CopyTelegram(state.history[0], state.history[1]);
    CopyTelegram(state.history[1], state.current);
    state.telegramsStored = 3;
    if (state.receptionTest != 0) return;
    state.setRequest = 1;
    if (state.serverEnabled) state.serverRequest = 1;
    if (state.logEnabled) state.logRequest = 1;
    if (state.autoEnd) state.endRequest = 1;
    if (uint8_t* flag = ResolveConfirmFlag(state.confirmFlagPtr)) *flag = 1;
}

namespace {

// The telegram in the bit buffer, decoded as it stands.
void DecodeFields(TDcfTelegram& telegram) {
    telegram.callBit = static_cast<uint8_t>(GetBit(15));
    telegram.dstAnnounce = static_cast<uint8_t>(GetBit(16));
    telegram.summerTime = static_cast<uint8_t>(GetBit(17));
    telegram.leapAnnounce = static_cast<uint8_t>(GetBit(19));
    telegram.hour = Field(29, {1, 2, 4, 8, 10, 20});
    telegram.minute = Field(21, {1, 2, 4, 8, 10, 20, 40});
    telegram.weekday = static_cast<int16_t>(Field(42, {1, 2, 4}) & 7);
    telegram.day = Field(36, {1, 2, 4, 8, 10, 20});
    telegram.month = Field(45, {1, 2, 4, 8, 10});
    telegram.year = Field(50, {1, 2, 4, 8, 10, 20, 40, 80});
}

}  // namespace

int EvenParity(int first, int last) {
    int ones = 0;
    for (int bit = first; bit <= last; ++bit) ones += GetBit(bit);
    return (ones % 2 == 0) ? 1 : 0;
}

int SameTelegram(const TDcfTelegram& a, const TDcfTelegram& b) {
    return (a.callBit == b.callBit && a.dstAnnounce == b.dstAnnounce &&
            a.summerTime == b.summerTime && a.leapAnnounce == b.leapAnnounce &&
            a.hour == b.hour && a.weekday == b.weekday && a.day == b.day &&
            a.month == b.month && a.year == b.year)
               ? 1
               : 0;
}

void DecodeTelegram() {
    TDcfState& state = *dcfPtr;
    TDcfTelegram& current = state.current;

    state.telegramCount = state.telegramCount + 1u;
    // Robust reception owns the current telegram: the minute only counts here.
    TDcfTelegram counted{};
    TDcfTelegram& decoded = robustReception ? counted : current;
    decoded.valid = 0;
    DecodeFields(decoded);

    // A 1 received in second 0 never rejects a telegram: the bit is dropped first.
    state.buffer.bits[0] &= ~uint32_t{1};

    uint8_t flags = 0;
    if (GetBit(0) == 0) flags |= kCheckStartOfMinute;
    if (GetBit(20) == 1) flags |= kCheckStartOfTime;
    if (EvenParity(21, 28)) flags |= kCheckMinuteParity;
    if (EvenParity(29, 35)) flags |= kCheckHourParity;
    if (EvenParity(36, 58)) flags |= kCheckDateParity;
    state.checkFlags = flags;
    if (flags != kAllChecks) return;
    if ((strictConfirmation || robustReception) && !strict::SoundTelegram()) return;  // malformed in the statistics

    state.validCount = state.validCount + 1u;
    decoded.valid = 1;
    if (robustReception) return;

    const strict::TelegramFacts facts =
        strictConfirmation ? strict::FactsOf(current, LastMinuteFrame()) : strict::TelegramFacts{};
    if (state.telegramsStored < 2) {
        // A lent block may hold a negative count: never index before the window.
        const int slot = state.telegramsStored < 0 ? 0 : state.telegramsStored;
        CopyTelegram(state.history[slot], current);
        if (strictConfirmation) strict::Hold(slot, facts);
        state.telegramsStored = static_cast<int16_t>(state.telegramsStored + 1);
        return;
    }

    const bool fits = SameTelegram(state.history[0], state.history[1]) &&
                      SameTelegram(state.history[0], current) &&
                      MinuteMismatch(state.history[0], state.history[1]) <= kMarkTolerance &&
                      MinuteMismatch(state.history[1], current) <= kMarkTolerance &&
                      (!strictConfirmation || (strict::ChainHolds(facts) && strict::OnTimeLine(facts)));
    if (fits) {
        if (strictConfirmation) strict::Slide(facts);
        ConfirmCurrent(state);
    } else {
        state.telegramsStored = 0;
        state.history[0].valid = 0;
        state.history[1].valid = 0;
    }
}
