#include "ui/settings.h"

#include <cstdio>
#include <limits>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Skips white space and a sign; true for a minus.
bool SkipSpaceAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) return text[i++] == '-';
    return false;
}

constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin = std::numeric_limits<int32_t>::min();

}  // namespace

int32_t LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    const bool negative = SkipSpaceAndSign(text, i);
    int64_t value = 0;
    for (; i < text.size() && DigitValue(text[i]) < 10; ++i) {
        value = value * 10 + DigitValue(text[i]);
        if (value > kMax + 1) value = kMax + 1;  // stays past every limit
    }
    if (negative) return static_cast<int32_t>(-value < kMin ? kMin : -value);
    return static_cast<int32_t>(value > kMax ? kMax : value);
}

int32_t ProfileIntFromText(std::string_view text) {
    std::size_t i = 0;
    const bool negative = SkipSpaceAndSign(text, i);
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        switch (text[i + 1]) {
            case 'x': case 'X': base = 16; break;
            case 'o': case 'O': base = 8; break;
            case 'b': case 'B': base = 2; break;
            default: break;
        }
        if (base != 10) i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size() && DigitValue(text[i]) < base; ++i) {
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(DigitValue(text[i]));
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

int16_t Low16(int32_t value) { return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF)); }

bool CycleValueAllowed(bool autoEnd, int32_t minutes) {
    return autoEnd ? minutes == 0 || minutes >= 4 : minutes >= 0;
}

int16_t CycleFromProfile(bool autoEnd, int16_t minutes) {
    if (minutes > 9999) return 9999;
    if (autoEnd && (minutes < 0 || (minutes >= 1 && minutes <= 3))) return 4;
    if (!autoEnd && minutes < 0) return 0;
    return minutes;
}

std::string_view DecimalText(int32_t value, char (&buffer)[16]) {
    const int n = std::snprintf(buffer, sizeof buffer, "%ld", static_cast<long>(value));
    return {buffer, static_cast<std::size_t>(n)};
}
