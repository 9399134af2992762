#include "reception/display_texts.h"

#include <string>

#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"

FixedText<60> bitLine;
FixedText<120> telegramLine;
FixedText<120> statisticsLine;
FixedText<100> lastSettingLine;

namespace {

constexpr const char* kWeekdayNames[8] = {"  ", "Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

// The bit count as the builders may use it: a lent or received record can
// hold any value, the line never shows more than a minute's 60 bits.
int ShownBitCount(const TDcfState& state) {
    const int count = state.buffer.bitCount;
    return count < 0 ? 0 : (count > 60 ? 60 : count);
}

const char* Sign(bool set) { return set ? "+" : "-"; }

}  // namespace

namespace text_detail {
char* FormatDecimal(int64_t value, char (&out)[24]) {
    char* p = out + sizeof(out) - 1;
    *p = '\0';
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (negative) *--p = '-';
    return p;
}

const char* FormatPercent(int value, char (&out)[24]) {
    char digits[24];
    const std::string_view number(FormatDecimal(value, digits));
    std::size_t length = 0;
    for (std::size_t pad = number.size(); pad < 3; ++pad) out[length++] = ' ';
    for (const char c : number) out[length++] = c;
    out[length++] = ' ';
    out[length++] = '%';
    out[length] = '\0';
    return out;
}
}  // namespace text_detail

void AppendTelegramField(int32_t value, char separator) {
    AppendTwoDigits(telegramLine, value);
    const char text[2] = {separator, '\0'};
    telegramLine.Append(text);
}

void BuildBitLine(const TDcfState& state) {
    bitLine.Clear();
    const int count = ShownBitCount(state);
    for (int i = 0; i < count; ++i) bitLine.Append(TestBit(state.buffer, i) ? "1" : "0");
}

void BuildStatusLines(const TDcfState& state) {
    const TDcfTelegram& t = state.current;
    telegramLine.Clear();
    if (t.markTime == 0) {
        telegramLine.Append("synchronisiere...                                 ");
    } else {
        telegramLine.Append(t.callBit ? "RA+ " : "RA- ");
        telegramLine.Append(t.dstAnnounce ? "ZU+ " : "ZU- ");
        telegramLine.Append(t.summerTime ? "SZ+ " : "SZ- ");
        telegramLine.Append(t.leapAnnounce ? "SS+  " : "SS-  ");
        AppendTelegramField(t.hour, ':');
        AppendTelegramField(t.minute, ' ');
        telegramLine.Append(" ");
        telegramLine.Append(kWeekdayNames[static_cast<unsigned>(t.weekday) & 7u]);
        telegramLine.Append(" ");
        AppendTelegramField(t.day, '.');
        AppendTelegramField(t.month, '.');
        AppendTelegramField(t.year, ' ');
        telegramLine.Append("   Check: ");
        const uint8_t flags = state.checkFlags;
        telegramLine.Append(Sign(flags & 1));
        telegramLine.Append("+");
        telegramLine.Append(Sign(flags & 2));
        telegramLine.Append(Sign(flags & 4));
        telegramLine.Append(Sign(flags & 8));
        telegramLine.Append(Sign(flags & 16));
    }
    telegramLine.Append("  komplett: ");
    char digits[24];
    if (robustReception) {
        // How far the evidence has come toward a confirmation, and once the
        // time is locked, how much of the last minutes agrees with it.
        const robust::Status status = robust::CurrentStatus();
        if (status.phase == robust::Phase::Locked) telegramLine.Append("fest ");
        telegramLine.Append(text_detail::FormatPercent(status.percent, digits));
    } else {
        telegramLine.Append(text_detail::FormatDecimal(state.telegramsStored, digits));
        telegramLine.Append("/3");
    }

    statisticsLine.Clear();
    statisticsLine.Append("Syn.vers. ");
    AppendRight7(statisticsLine, state.syncAttempts);
    statisticsLine.Append(" / Telegr. ");
    AppendRight7(statisticsLine, state.telegramCount);
    statisticsLine.Append(" / Form.fehl. ");
    AppendRight7(statisticsLine, state.telegramCount - state.validCount);
    statisticsLine.Append(" / bestaet. ");
    AppendRight7(statisticsLine, state.confirmedCount);
}

void FormatSettingTime(int year, int month, int day, int hour, int minute, int second) {
    lastSettingLine.Clear();
    AppendTwoDigits(lastSettingLine, day);
    lastSettingLine.Append(".");
    AppendTwoDigits(lastSettingLine, month);
    lastSettingLine.Append(".");
    AppendTwoDigits(lastSettingLine, year);
    lastSettingLine.Append(" ");
    AppendTwoDigits(lastSettingLine, hour);
    lastSettingLine.Append(":");
    AppendTwoDigits(lastSettingLine, minute);
    lastSettingLine.Append(":");
    AppendTwoDigits(lastSettingLine, second);
}
