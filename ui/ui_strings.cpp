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
