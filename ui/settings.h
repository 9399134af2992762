// Number readings and rules on the minutes, shared by the dialog, the
// validator and the profile implementations.
#pragma once

#include <cstdint>
#include <string_view>

// The leading whole number of a text: white space, an optional sign, decimal
// digits up to the first other character; 0 without digits. Saturates at the
// limits of 32 bits, so a long or huge text never wraps into a small or
// negative number. The one reading of the minutes field's text.
int32_t LeadingInteger(std::string_view text);

// What GetProfileIntA makes of a key's text: white space, a sign, then a
// decimal number or one with a 0x (hex), 0o (octal) or 0b (binary) prefix;
// digits past 32 bits wrap as Windows lets them.
int32_t ProfileIntFromText(std::string_view text);

// The low 16 bits of a profile value, signed, as the options are kept.
int16_t Low16(int32_t value);

// The mode's rule on the minutes: with auto-end 0 or at least 4, without it
// anything not negative.
bool CycleValueAllowed(bool autoEnd, int32_t minutes);

// The minutes read from the profile brought into the field's rules the way
// switching auto-end does: a value the validator would refuse at once would
// otherwise close the program a second after start, or refuse every end.
int16_t CycleFromProfile(bool autoEnd, int16_t minutes);

// Decimal text of a number, as the profile stores it.
std::string_view DecimalText(int32_t value, char (&buffer)[16]);
