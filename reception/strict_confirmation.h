// Strict confirmation, an opt-in on top of the three-telegram rule. The
// ordinary rule lets a repeated or earlier minute through (its minute test is
// one-sided and its agreement test ignores the minute), and it takes the mark
// of second 1 for the minute mark when the mark of second 0 is missing. Both
// set wrong times from a noisy signal. In strict mode a confirmation also
// needs:
//   - each of the three telegrams framed by exactly one missing mark: its
//     minute mark two seconds after the start of the minute's last mark, which
//     itself came a second after the mark before it;
//   - their times, as full UTC dates and times, advancing by exactly the
//     minutes measured between their minute marks;
//   - each telegram internally sound: one of the two summer/winter bits, and
//     the one the EU rule gives for its date and hour; every BCD digit in
//     range; a real date whose weekday is the one sent;
//   - once a time has been confirmed, agreement with that time carried
//     forward on the edges' own clock (the time line).
// A telegram that is not sound counts as malformed; a chain that does not hold
// empties the window as a disagreeing telegram does. The state lives here,
// outside the record, whose layout is a wire format.
#pragma once

#include <cstdint>

#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"

// Off by default; the front-ends switch it on from their settings.
extern bool strictConfirmation;

namespace strict {

// The bounds strict mode works with, in one place so that the confirmation
// bench can show what other values would do.
struct Bounds {
    // Hundredths from the start of the minute's last mark to the minute mark.
    int32_t maxLastMarkToMinute = 230;
    // How long contradicting chains must agree, with no chain confirming the
    // time line, before the line is given up; 0: no time line at all.
    uint32_t giveUpMs = 24u * 3600u * 1000u;
};
extern Bounds bounds;

// What strict mode remembers of a telegram held in (or about to enter) the window.
struct TelegramFacts {
    bool framed = false;   // one missing mark before its minute mark
    int64_t utcMinute = 0; // minutes since 1970-01-01 00:00 UTC
    int32_t markTime = 0;  // hundredths, as the record keeps it
    uint32_t markMs = 0;   // the minute mark's millisecond stamp
    uint32_t pauses = 0;   // EdgePauses() when it arrived
};

// Whether the bits of the record in use form a telegram that could be real.
bool SoundTelegram();

// The facts of `telegram` (just decoded), framed as `frame` says.
TelegramFacts FactsOf(const TDcfTelegram& telegram, const MinuteFrame& frame);

// The window's two places, mirrored beside the record.
void Hold(int slot, const TelegramFacts& facts);
// Whether the two held telegrams and `current` form a chain strict mode trusts.
bool ChainHolds(const TelegramFacts& current);
// Asked only of a chain that holds in every other respect: whether it agrees
// with the time line, which it then carries on (or starts, or replaces after
// long and consistent contradiction). False: the chain is not confirmed.
bool OnTimeLine(const TelegramFacts& current);
// The window slid by a confirmation.
void Slide(const TelegramFacts& current);

// Forgets the window's facts and the time line: a fresh start.
void Reset();

}  // namespace strict
