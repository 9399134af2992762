// Strict confirmation, an opt-in on top of the three-telegram rule. The
// ordinary rule lets a repeated or earlier minute through (its minute test is
// one-sided and its agreement test ignores the minute), and it takes the mark
// of second 1 for the minute mark when the mark of second 0 is missing. Both
// set wrong times from a noisy signal. In strict mode a confirmation also
// needs:
//   - each of the three telegrams framed by a minute gap that fits exactly
//     one missing mark (second 59);
//   - their times, as full UTC dates and times, advancing by exactly the
//     minutes measured between their minute marks;
//   - each telegram internally sound: one of the two summer/winter bits, every
//     BCD digit in range, a real date whose weekday is the one sent.
// A telegram that is not sound counts as malformed; a chain that does not hold
// empties the window as a disagreeing telegram does. The state lives here,
// outside the record, whose layout is a wire format.
#pragma once

#include <cstdint>

#include "reception/dcf_state.h"

// Off by default; the front-ends switch it on from their settings.
extern bool strictConfirmation;

namespace strict {

// What strict mode remembers of a telegram held in (or about to enter) the window.
struct TelegramFacts {
    bool framed = false;   // minute gap of one missing mark
    int64_t utcMinute = 0; // minutes since 1970-01-01 00:00 UTC
    int32_t markTime = 0;  // hundredths, as the record keeps it
};

// Whether the bits of the record in use form a telegram that could be real.
bool SoundTelegram();

// The facts of `telegram` (just decoded), framed by a gap of `minuteGap`
// hundredths before its minute mark.
TelegramFacts FactsOf(const TDcfTelegram& telegram, int32_t minuteGap);

// The window's two places, mirrored beside the record.
void Hold(int slot, const TelegramFacts& facts);
// Whether the two held telegrams and `current` form a chain strict mode trusts.
bool ChainHolds(const TelegramFacts& current);
// The window slid by a confirmation.
void Slide(const TelegramFacts& current);

}  // namespace strict
