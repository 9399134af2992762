// Setting the system clock from a confirmed telegram, and reporting it: the
// last-setting line, the log file and the file-server setter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "clock/message_box.h"
#include "timebase/millisecond_clock.h"
#include "clock/program_launcher.h"
#include "clock/string_table.h"
#include "clock/system_clock.h"
#include "clock/system_time.h"
#include "reception/dcf_state.h"

// The log lives in the current directory, like the program's other files.
constexpr const char* kLogFileName = "CHRONVK.LOG";

// Everything the clock setting reaches outside the record.
struct ClockServices {
    MillisecondClock& milliseconds;
    SystemClock& systemClock;
    MessageBoxes& messageBoxes;
    ProgramLauncher& launcher;
    StringTable& strings;
    const char* logFileName = kLogFileName;
};

// Acts on the record's setRequest (and logRequest, serverRequest): sets the
// clock in UTC, rebuilds the status texts and the last-setting line, writes the
// log entry and starts the file-server setter. Runs on the window thread.
void ApplyConfirmedTime(TDcfState& state, const ClockServices& services);

// German legal time to UTC, one or two hours back as current.summerTime says.
// The minute plays no part. The year has two digits and steps back from 00 to 99.
void LocalToUtc(const TDcfState& state, int& year, int& day, int& hour, int& month);

// Whole seconds since the minute mark, rounded: the clock reading in
// hundredths (taken signed and truncated, as reception does) against
// the mark's time in hundredths.
int SecondsSinceMark(uint32_t nowMs, int32_t markTime);

// Whether the telegram's own date and time is a real one: minute 0..59, hour
// 0..23, month 1..12, year 0..99 and a day of that month in the year window's
// year. DCF77 sends only real dates; anything else is a misread that
// LocalToUtc would otherwise turn into a valid date (day 0 into the last of
// the month before, 31 April into 30 April).
bool IsRealTelegramTime(const TDcfTelegram& received);

// The UTC time for the clock from the working copy. A telegram whose own time
// is not real gets year 0, which every clock refuses, so it is refused (and
// reported) with the other fields as LocalToUtc left them.
SystemTime BuildSystemTime(const TDcfTelegram& received, int year, int month, int day, int hour,
                           int minute, int second);

// "CHRONVNW.EXE xnQWT58/bemp " and the seven numbers, two spaces apart.
std::string SetterCommandLine(int logged, int32_t markTime, int day, int month, int year, int hour,
                              int minute);

// Appends one entry to the log: the setting line through `format` (whose one
// "%s" takes the line), the statistics line, and an empty line unless the
// file-server setter follows. False when the file cannot be opened or the
// entry was not written whole (a full disk).
bool WriteLogEntry(const char* fileName, std::string_view format, std::string_view settingLine,
                   std::string_view statistics, bool closeEntry);
