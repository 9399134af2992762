#include "clock/string_table.h"

namespace {

class BuiltinTexts final : public StringTable {
public:
    std::string_view Text(int id) override {
        switch (id) {
            case kTextError: return "Fehler";
            case kTextClockNotSet: return "Zeit kann nicht eingestellt werden!";
            case kTextLogNotWritten: return "Log kann nicht geschrieben werden!";
            case kTextWarning: return "Warnung";
            case kTextLogEntry: return "Zeiteinstellung: %s\n";
            default: return {};
        }
    }
};

}  // namespace

StringTable& BuiltinStringTable() {
    static BuiltinTexts table;
    return table;
}
