// Turns the line edges posted by the sampler into the bits of the minute and
// finds the minute mark. Times are hundredths of a second.
#pragma once

#include <cstdint>

#include "reception/dcf_state.h"

// One reported level change, stamped with the multimedia clock in milliseconds.
void DecodeEdge(uint8_t level, int32_t stampMs);

// The bit buffer of the record in use.
void AppendBit(uint8_t bit);
void ClearBits();
int GetBit(int index);

// The bit buffer of any record; bits at or above the count read as 0.
int TestBit(const TBitBuffer& buffer, int index);

// How the minute mark that last completed a minute was framed, for strict
// confirmation: hundredths from the start of the minute's last mark to the
// minute mark, and from the start of the mark before it to the start of the
// last one; and the minute mark's own millisecond stamp.
struct MinuteFrame {
    int32_t lastMarkToMinute = 0;
    int32_t lastMarkSpacing = 0;
    uint32_t markMs = 0;
};
const MinuteFrame& LastMinuteFrame();

// The last edge as the decoder took it, for the quality figures: whether it
// started a second, and then how long the mark before it was, in hundredths
// (what its bit was read from).
struct SecondStart {
    bool started = false;
    int32_t pulse = 0;
};
const SecondStart& LastSecondStart();

// How often the edges have paused for more than an hour or stepped back in
// time since the program started: the machine slept, the receiver was off or
// its clock was reset, and no time measured across such a pause can be trusted.
uint32_t EdgePauses();

// Puts reception back into its program-start state for a fresh run: the
// program's own record, all zero, in use; timeConfirmed 0; the decoder's
// private times zero. Reception itself never does this (the first edge after
// a pause is measured against the last one before it); a replay starts here,
// as a new process would.
void ResetReception();
