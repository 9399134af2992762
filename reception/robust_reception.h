// Robust reception, an opt-in confirmation mode for noisy signals. The
// three-telegram rule and strict mode need three clean telegrams in a row;
// under noise they wait for luck. This mode instead
//   - follows the grid of the second marks over many seconds, so that a
//     missing, extra or shifted mark does not lose it, and finds the minute
//     from the mark that is missing every minute (second 59);
//   - keeps each mark's measured length as soft evidence for its bit, for the
//     last half hour of minutes;
//   - weighs that evidence against the telegrams the transmitter must have
//     sent if the time were this or that (the time advancing a minute a minute,
//     summer time and A1 as the EU rule has them), and confirms a time only
//     when it beats every other by a wide margin;
//   - then carries the time forward on the edges' own clock and delivers every
//     minute whose evidence agrees, and drops the lock, never bends it, when
//     the evidence contradicts it;
//   - keeps strict mode's time line: a time that contradicts the last confirmed
//     one carried forward is not confirmed.
// The classic decoder still fills the record's bit buffer and counters; this
// mode owns the record's current telegram and raises the confirmations.
#pragma once

#include <cstdint>

#include "reception/dcf_state.h"

// Off by default; the front-ends switch it on from their settings.
extern bool robustReception;

namespace robust {

// The margin, in natural-log units of likelihood, by which the best time must
// beat every other before it is confirmed: odds of e^24, more than 10^10 to
// 1, under the error rate measured. On the confirmation bench no wrong time
// was confirmed even at a margin of 8 (200,000 minutes each at 5 to 20 %
// flipped bits, missing marks, glitches and 30 ms jitter); 24 is three times
// that, and costs about four minutes over 8 at 10 % flips.
inline constexpr double kConfirmMargin = 24.0;

// After DecodeEdge has handled the edge: follows the grid and the minute, and
// at a minute the time line carries, confirms it in `state`.
void OnEdge(TDcfState& state, uint8_t level, int32_t stampMs);

// The second mark this edge started, when it lies on the grid of a locked
// time: its second since 1970 in UTC.
struct GridMark {
    bool valid = false;
    int64_t utcSecond = 0;
    bool leapAnnounced = false;  // A2 heard in the last minutes
};
const GridMark& MarkOfLastEdge();

// How far reception has come, for the telegram line: no grid or minute yet,
// evidence gathering toward a confirmation (percent of the margin), or locked
// (percent of the last minutes' bits that agree with the carried time).
enum class Phase { Searching, Gathering, Locked };
struct Status {
    Phase phase = Phase::Searching;
    int percent = 0;
};
Status CurrentStatus();

// Forgets everything: a fresh start.
void Reset();

}  // namespace robust
