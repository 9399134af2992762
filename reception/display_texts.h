// The four reception texts the window shows (and the log records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reception/dcf_state.h"

// A text of bounded length in a fixed buffer: building it never allocates and
// never writes past the buffer. The capacities below hold the longest text any
// record can produce, so nothing is ever cut in practice.
template <std::size_t Capacity>
class FixedText {
public:
    void Clear() { length_ = 0; text_[0] = '\0'; }
    void Append(std::string_view more) {
        for (char c : more) {
            if (length_ == Capacity) break;
            text_[length_++] = c;
        }
        text_[length_] = '\0';
    }
    const char* c_str() const { return text_; }
    std::size_t size() const { return length_; }
    std::string_view view() const { return {text_, length_}; }

private:
    char text_[Capacity + 1] = {};
    std::size_t length_ = 0;
};

extern FixedText<60> bitLine;
extern FixedText<120> telegramLine;
extern FixedText<120> statisticsLine;
extern FixedText<100> lastSettingLine;

void BuildBitLine(const TDcfState& state);
void BuildStatusLines(const TDcfState& state);
void FormatSettingTime(int year, int month, int day, int hour, int minute, int second);

// Signed decimal, with a "0" before a single character: 5 -> "05", -1 -> "-1", 123 -> "123".
template <std::size_t N>
void AppendTwoDigits(FixedText<N>& text, int32_t value);

// AppendTwoDigits(value) and one separator character, onto telegramLine.
void AppendTelegramField(int32_t value, char separator);

// Unsigned decimal right-aligned in 7 characters; a longer number is shown whole.
template <std::size_t N>
void AppendRight7(FixedText<N>& text, uint32_t value);

namespace text_detail {
// Writes the decimal digits of `value` (with a '-' for a negative one) into the
// end of `out` and returns where they start. 12 characters hold any int64.
char* FormatDecimal(int64_t value, char (&out)[24]);
// A percentage right-aligned in three characters, then " %": "  7 %", "100 %".
const char* FormatPercent(int value, char (&out)[24]);
}  // namespace text_detail

template <std::size_t N>
void AppendTwoDigits(FixedText<N>& text, int32_t value) {
    char digits[24];
    const char* first = text_detail::FormatDecimal(value, digits);
    const std::string_view number(first);
    if (number.size() == 1) text.Append("0");
    text.Append(number);
}

template <std::size_t N>
void AppendRight7(FixedText<N>& text, uint32_t value) {
    char digits[24];
    const std::string_view number(text_detail::FormatDecimal(value, digits));
    for (std::size_t pad = number.size(); pad < 7; ++pad) text.Append(" ");
    text.Append(number);
}
