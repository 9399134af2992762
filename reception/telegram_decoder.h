// Decodes the 59 bits of a minute into `current`, checks them, and confirms a
// time when three well-formed telegrams agree with each other and with the
// time that passed between their minute marks.
#pragma once

#include "reception/dcf_state.h"

void DecodeTelegram();

// A confirmation of the record's current telegram: counted, taken into the
// window, and the requests raised (none in reception-test mode). Robust
// reception confirms its own times through it.
void ConfirmCurrent(TDcfState& state);

// 1 if bits first..last (inclusive) of the record in use hold an even number of ones.
int EvenParity(int first, int last);

// 1 if status bits, hour, weekday, day, month and year agree; the minute is not compared.
int SameTelegram(const TDcfTelegram& a, const TDcfTelegram& b);
