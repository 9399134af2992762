// The program's texts, taken by number as from a string table. The table
// itself is the program's one string table, which the dialog hands over.
#pragma once

#include <string_view>

class StringTable {
public:
    virtual ~StringTable() = default;
    // The text with number `id`; empty when there is none.
    virtual std::string_view Text(int id) = 0;
};

// Numbers of the texts the clock setting uses.
constexpr int kTextError = 5;          // "Fehler"
constexpr int kTextClockNotSet = 7;    // "Zeit kann nicht eingestellt werden!"
constexpr int kTextLogNotWritten = 8;  // "Log kann nicht geschrieben werden!"
constexpr int kTextWarning = 9;        // "Warnung"
constexpr int kTextLogEntry = 10;      // "Zeiteinstellung: %s\n"
