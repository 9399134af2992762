#include "clock/clock_setting.h"

#include <cstdio>

#include "reception/display_texts.h"

namespace {

// A failure shown in a box that is still open is not shown again. The box
// runs a message loop, so a later confirmation can fail inside it; without
// this an account lacking the clock privilege would stack one more modal box
// every minute.
bool clockBoxOpen = false;
bool logBoxOpen = false;

void ShowOnce(bool& open, const ClockServices& services, int textId, int captionId,
              unsigned style) {
    if (open) return;
    open = true;
    const std::string text(services.strings.Text(textId));
    const std::string caption(services.strings.Text(captionId));
    services.messageBoxes.Show(text.c_str(), caption.c_str(), style);
    open = false;
}

uint16_t ToWord(int value) {
    // A value that a WORD cannot hold must not wrap into a valid one.
    return (value < 0 || value > 0xFFFF) ? uint16_t{0xFFFF} : static_cast<uint16_t>(value);
}

// The format's first "%s" takes `line`; "%%" is a percent sign; anything else
// is written as it stands, so a bad text can never read a missing argument.
void WriteFormatted(std::FILE* file, std::string_view format, std::string_view line) {
    bool substituted = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            const char next = format[i + 1];
            if (next == '%') {
                std::fputc('%', file);
                ++i;
                continue;
            }
            if (next == 's' && !substituted) {
                std::fwrite(line.data(), 1, line.size(), file);
                substituted = true;
                ++i;
                continue;
            }
        }
        std::fputc(c, file);
    }
}

}  // namespace

void LocalToUtc(const TDcfState& state, int& year, int& day, int& hour, int& month) {
    static constexpr int kDaysPerMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

    hour -= state.current.summerTime ? 2 : 1;
    if (hour >= 0) return;
    hour += 24;
    day -= 1;
    if (day >= 1) return;
    month -= 1;
    if (month < 1) {
        day = 31;
        month = 12;
        year = (year == 0) ? 99 : year - 1;
        return;
    }
    if (month == 2 && year % 4 == 0) {
        day = 29;
    } else {
        // Telegram fields are not range-checked: a month of 14 arrives here as
        // 13. It takes 31 days; the clock refuses the time anyway.
        day = month <= 12 ? kDaysPerMonth[month - 1] : 31;
    }
}

int SecondsSinceMark(uint32_t nowMs, int32_t markTime) {
    const int32_t hundredths = static_cast<int32_t>(nowMs) / 10;
    // 64 bits: a mark time from a lent record may be anything.
    const int64_t seconds = (int64_t{hundredths} + 50 - markTime) / 100;
    return static_cast<int>(seconds);
}

bool IsRealTelegramTime(const TDcfTelegram& received) {
    return received.minute >= 0 && received.minute <= 59 && received.hour >= 0 &&
           received.hour <= 23 && received.year >= 0 && received.year <= 99 &&
           received.day >= 1 &&
           received.day <= DaysInMonth(FourDigitYear(received.year), received.month);
}

SystemTime BuildSystemTime(const TDcfTelegram& received, int year, int month, int day, int hour,
                           int minute, int second) {
    SystemTime time{};
    time.wYear = ToWord(IsRealTelegramTime(received) ? FourDigitYear(year) : 0);
    time.wMonth = ToWord(month);
    time.wDay = ToWord(day);
    time.wHour = ToWord(hour);
    time.wMinute = ToWord(minute);
    time.wSecond = ToWord(second);
    time.wMilliseconds = 0;
    return time;
}

std::string SetterCommandLine(int logged, int32_t markTime, int day, int month, int year, int hour,
                              int minute) {
    std::string line = "CHRONVNW.EXE xnQWT58/bemp ";
    const int64_t numbers[] = {logged, markTime, day, month, year, hour, minute};
    bool first = true;
    for (int64_t number : numbers) {
        if (!first) line += "  ";
        first = false;
        char digits[24];
        line += text_detail::FormatDecimal(number, digits);
    }
    return line;
}

bool WriteLogEntry(const char* fileName, std::string_view format, std::string_view settingLine,
                   std::string_view statistics, bool closeEntry) {
    std::FILE* file = std::fopen(fileName, "a+");
    if (file == nullptr) return false;
    WriteFormatted(file, format, settingLine);
    std::fwrite(statistics.data(), 1, statistics.size(), file);
    std::fputc('\n', file);
    if (closeEntry) std::fputc('\n', file);
    // A full disk shows only here: in the stream's error state, or when the
    // close flushes what the stream still held. Either way the entry is lost.
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

void ApplyConfirmedTime(TDcfState& state, const ClockServices& services) {
    if (state.setRequest == 0) return;
    state.setRequest = 0;

    const TDcfTelegram& current = state.current;
    int year = current.year;
    int month = current.month;
    int day = current.day;
    int hour = current.hour;
    int minute = current.minute;
    const int seconds = SecondsSinceMark(services.milliseconds.NowMs(), current.markTime);

    LocalToUtc(state, year, day, hour, month);
    const SystemTime utc = BuildSystemTime(current, year, month, day, hour, minute, seconds);
    const bool clockSet = services.systemClock.SetSystemClock(utc) == ClockResult::kSet;

    if (state.setUtc == 0) {
        year = current.year;
        month = current.month;
        day = current.day;
        hour = current.hour;
        minute = current.minute;
    }
    const int logged = (state.logEnabled == 1 && state.logRequest == 1) ? 1 : 0;

    BuildStatusLines(state);
    FormatSettingTime(year, month, day, hour, minute, seconds);
    if (state.setUtc == 1) lastSettingLine.Append(" UTC");

    bool logFailed = false;
    if (logged) {
        state.logRequest = 0;
        logFailed = !WriteLogEntry(services.logFileName, services.strings.Text(kTextLogEntry),
                                   lastSettingLine.view(), statisticsLine.view(),
                                   state.serverRequest == 0);
    }
    if (state.serverRequest != 0) {
        state.serverRequest = 0;
        services.launcher.Launch(
            SetterCommandLine(logged, current.markTime, day, month, year, hour, minute).c_str());
    }

    // The boxes come last. Each runs a message loop in which the next minute's
    // confirmation can run a whole call of its own; by now this setting is
    // logged and its setter started, so nothing of it can be lost or reordered.
    if (!clockSet) ShowOnce(clockBoxOpen, services, kTextClockNotSet, kTextError, kStopBox);
    if (logFailed) ShowOnce(logBoxOpen, services, kTextLogNotWritten, kTextWarning, kExclamationBox);
}
