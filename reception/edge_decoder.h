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

// Hundredths without a mark before the minute mark that last completed a
// minute: the framing strict confirmation checks.
int32_t LastMinuteGap();

// Puts reception back into its program-start state for a fresh run: the
// program's own record, all zero, in use; timeConfirmed 0; the decoder's
// private times zero. Reception itself never does this (the first edge after
// a pause is measured against the last one before it); a replay starts here,
// as a new process would.
void ResetReception();
