#include "ui/ui_strings.h"

#include "ui/resource_ids.h"

std::string_view UiStringTable::Text(int id) {
    switch (id) {
        case IDS_MINUTES_MAX_RUN: return "Minuten Maximallaufzeit";
        case IDS_MINUTES_WARNING: return "Wert mu\xDF 0 oder mindestens 4 Minuten sein!";
        case IDS_MINUTES_PAUSE: return "Minuten Einstellpause";
        case IDS_PORT_NOT_OPENED: return "Schnittstelle kann nicht ge\xF6" "ffnet werden!";
        case IDS_ERROR: return "Fehler";
        case IDS_CLOCK_NOT_SET: return "Zeit kann nicht eingestellt werden!";
        case IDS_LOG_NOT_WRITTEN: return "Log kann nicht geschrieben werden!";
        case IDS_WARNING: return "Warnung";
        case IDS_LOG_ENTRY: return "Zeiteinstellung: %s\n";
        case IDS_PAUSE_NOT_STARTED: return "Einstellpause kann nicht vorgemerkt werden!";
        case IDS_MAX_RUN_NOT_STARTED: return "Maximallaufzeit kann nicht vorgemerkt werden!";
        case IDS_COUNTDOWN_MAX_RUN: return "Restlaufzeit %8lu s";
        case IDS_COUNTDOWN_PAUSE: return "...Pause... %8lu s";
        default: return {};
    }
}

UiStringTable& ProgramStrings() {
    static UiStringTable table;
    return table;
}

std::string Utf8FromWindows1252(std::string_view text) {
    // The code points of 0x80-0x9F; 0 where the code page leaves a byte
    // unused, which then stands for itself as in Latin-1.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    std::string utf8;
    utf8.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char32_t code = byte;
        if (byte >= 0x80 && byte < 0xA0 && kHigh[byte - 0x80] != 0) code = kHigh[byte - 0x80];
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (code >> 12));
            utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}
