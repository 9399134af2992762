// The program's string table: labels, messages, captions, the log line and
// the countdown formats, taken by number. The clock setting reads its texts
// through the same table. The texts are in Windows-1252, as the ANSI window
// functions show them; a front-end on a UTF-8 terminal converts them.
#pragma once

#include <string>
#include <string_view>

#include "clock/string_table.h"

class UiStringTable final : public StringTable {
public:
    std::string_view Text(int id) override;
};

// A text of the table as UTF-8, for terminals and printed lines.
std::string Utf8FromWindows1252(std::string_view text);

// The one instance the dialog and the clock setting share.
UiStringTable& ProgramStrings();
