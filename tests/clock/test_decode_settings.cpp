// chronvk-decode over generated signals: every confirmed minute prints the
// time the (dry-run) clock would be set to, and that time is the true UTC
// time of the minute mark that confirmed it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"
#include "tools/decode/decode_main.h"

namespace {

using dcf77::kMinuteMs;

std::string ReadAndClose(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    return text;
}

// Runs the tool in-process from the program-start state, as a fresh process would.
std::string Decode(const std::vector<dcf77::SampledEdge>& edges, bool utc) {
    ownDcfState = TDcfState{};
    dcfPtr = &ownDcfState;
    timeConfirmed = 0;
    ResetEdgeDecoderForTest();

    std::string log;
    for (const auto& e : edges) log += std::to_string(e.level) + " " + std::to_string(e.stampMs) + "\n";
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::fwrite(log.data(), 1, log.size(), in);
    std::rewind(in);
    std::string name = "chronvk-decode";
    std::string flag = "--utc";
    std::vector<char*> argv{name.data()};
    if (utc) argv.push_back(flag.data());
    const int status = DecodeMain(static_cast<int>(argv.size()), argv.data(), in, out, err);
    std::fclose(in);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadAndClose(err), "");
    return ReadAndClose(out);
}

struct Line {
    uint64_t edge;
    std::string label;
    std::string text;
};

std::vector<Line> Lines(const std::string& output) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end - start);
        const std::size_t first = line.find(' ');
        const std::size_t second = line.find(' ', first + 1);
        lines.push_back({std::stoull(line.substr(0, first)), line.substr(first + 1, second - first - 1),
                         second == std::string::npos ? "" : line.substr(second + 1)});
        start = end == std::string::npos ? output.size() : end + 1;
    }
    return lines;
}

std::string UtcText(int64_t utcMs) {
    const int64_t days = dcf77::FloorDiv(utcMs, dcf77::kDayMs);
    const int64_t ms = utcMs - days * dcf77::kDayMs;
    int year = 0, month = 0, day = 0;
    dcf77::CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d UTC", year, month, day,
                  static_cast<int>(ms / dcf77::kHourMs), static_cast<int>(ms / kMinuteMs % 60),
                  static_cast<int>(ms / 1000 % 60));
    return text;
}

// The last-setting line of a legal or UTC time: day first, two-digit year.
std::string SettingText(int year, int month, int day, int hour, int minute, const char* suffix) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d:00%s", day, month, year % 100, hour,
                  minute, suffix);
    return text;
}

struct SignalCase {
    const char* name;
    int year, month, day, hour, minute;  // UTC minute the decoder locks on
    int minutes;
    // UTC minutes (as offsets from the start) expected to be set, as ranges.
    std::vector<std::pair<int, int>> setRanges;
};

class DecodeSettingsTest : public ::testing::TestWithParam<SignalCase> {};

TEST_P(DecodeSettingsTest, OneSetLinePerConfirmedMinuteAtItsUtcTime) {
    const SignalCase& c = GetParam();
    const int64_t start = dcf77::UtcMs(c.year, c.month, c.day, c.hour, c.minute);
    const dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(start, c.minutes);
    const std::vector<dcf77::SampledEdge> edges = dcf77::GenerateEdgeVector(options);

    std::vector<int64_t> expected;
    for (const auto& [from, to] : c.setRanges) {
        for (int m = from; m <= to; ++m) expected.push_back(start + m * kMinuteMs);
    }

    for (bool utc : {false, true}) {
        const std::vector<Line> lines = Lines(Decode(edges, utc));
        std::vector<int64_t> setAt;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            ASSERT_NE(line.label, "refused") << line.edge << " " << line.text;
            if (line.label != "set") continue;

            // The signal time of the edge that confirmed the minute: its mark.
            const uint32_t stamp = edges[static_cast<std::size_t>(line.edge - 1)].stampMs;
            const int64_t edgeUtc = options.startUtcMs + (stamp - options.firstStampMs);
            const int64_t mark = dcf77::FloorDiv(edgeUtc, kMinuteMs) * kMinuteMs;
            EXPECT_EQ(line.text, UtcText(mark));
            setAt.push_back(mark);

            // The set line comes first among its edge's lines; the setting
            // line of the same edge shows the legal time, or the UTC time.
            ASSERT_TRUE(i == 0 || lines[i - 1].edge != line.edge);
            const Line* setting = nullptr;
            for (std::size_t j = i + 1; j < lines.size() && lines[j].edge == line.edge; ++j) {
                if (lines[j].label == "setting") setting = &lines[j];
            }
            ASSERT_NE(setting, nullptr);
            if (utc) {
                int year = 0, month = 0, day = 0;
                dcf77::CivilFromDays(dcf77::FloorDiv(mark, dcf77::kDayMs), year, month, day);
                const int64_t ms = dcf77::FloorMod(mark, dcf77::kDayMs);
                EXPECT_EQ(setting->text, SettingText(year, month, day, static_cast<int>(ms / dcf77::kHourMs),
                                                     static_cast<int>(ms / kMinuteMs % 60), " UTC"));
            } else {
                const dcf77::LegalTime local = dcf77::GermanLegalTime(mark);
                EXPECT_EQ(setting->text,
                          SettingText(local.year, local.month, local.day, local.hour, local.minute, ""));
            }
        }
        EXPECT_EQ(setAt, expected) << (utc ? "--utc" : "local");
    }
}

// Every local hour change (at a whole UTC hour here) empties the confirmation
// window, so the minutes :00 to :02 after it are not set.
INSTANTIATE_TEST_SUITE_P(
    Signals, DecodeSettingsTest,
    ::testing::Values(
        SignalCase{"WinterHour", 2026, 1, 15, 10, 0, 60, {{3, 59}}},
        SignalCase{"SummerHour", 2026, 7, 15, 10, 0, 60, {{3, 59}}},
        // Local time is already 1 February (or 1 May) while UTC is still the
        // last day of the month before.
        SignalCase{"WinterMonthEndAcrossUtcMidnight", 2026, 1, 31, 23, 50, 20, {{3, 9}, {13, 20}}},
        SignalCase{"SummerMonthEndAcrossUtcMidnight", 2026, 4, 30, 23, 50, 20, {{3, 9}, {13, 20}}},
        SignalCase{"LeapDayAcrossUtcMidnight", 2028, 2, 29, 23, 50, 20, {{3, 9}, {13, 20}}},
        SignalCase{"NewYearAcrossUtcMidnight", 2026, 12, 31, 23, 50, 20, {{3, 9}, {13, 20}}}),
    [](const ::testing::TestParamInfo<SignalCase>& param) { return std::string(param.param.name); });

// Edges for telegrams the calendar never sends, straight from their bits:
// four marks before the first minute mark so the decoder locks on, then
// each telegram, then the minute mark that completes the last one.
std::vector<dcf77::SampledEdge> EdgesOf(const std::vector<uint64_t>& telegrams) {
    std::vector<dcf77::SampledEdge> edges;
    uint32_t t = 100000;
    auto mark = [&](uint32_t at, int lengthMs) {
        edges.push_back({0, at});
        edges.push_back({1, at + static_cast<uint32_t>(lengthMs)});
    };
    for (int s = 55; s < 59; ++s) mark(t + static_cast<uint32_t>(s * 1000), 100);
    t += 60000;
    for (uint64_t bits : telegrams) {
        for (int s = 0; s < 59; ++s) mark(t + static_cast<uint32_t>(s * 1000), dcf77::MarkLengthMs(bits, s));
        t += 60000;
    }
    mark(t, 100);
    return edges;
}

// Replaces a BCD field and the date parity (bit 58), for fields past bit 36.
uint64_t WithDateField(uint64_t bits, int first, int width, int value) {
    static constexpr int kWeights[] = {1, 2, 4, 8, 10, 20, 40, 80};
    for (int i = width - 1; i >= 0; --i) {
        const uint64_t bit = uint64_t{1} << (first + i);
        bits &= ~bit;
        if (value >= kWeights[i]) {
            value -= kWeights[i];
            bits |= bit;
        }
    }
    int ones = 0;
    for (int i = 36; i < 58; ++i) ones += static_cast<int>((bits >> i) & 1u);
    bits &= ~(uint64_t{1} << 58);
    if (ones % 2) bits |= uint64_t{1} << 58;
    return bits;
}

TEST(DecodeSettings, TimesTheClockRefusesPrintAsRefused) {
    const struct { int month; int year; const char* line; } cases[] = {
        {14, 26, "refused 2026-14-06 11:07:00 UTC"},
        {6, 125, "refused 0000-06-06 10:07:00 UTC"},
    };
    for (const auto& c : cases) {
        std::vector<uint64_t> telegrams;
        for (int minute = 5; minute <= 7; ++minute) {
            const dcf77::LegalTime local{2026, c.month, 6, 6, 12, minute, 0, c.month == 6};
            telegrams.push_back(WithDateField(dcf77::EncodeTelegram(local, false), 50, 8, c.year));
        }
        const std::vector<Line> lines = Lines(Decode(EdgesOf(telegrams), false));
        std::vector<std::string> clockLines;
        for (const Line& line : lines) {
            if (line.label == "set" || line.label == "refused") clockLines.push_back(line.label + " " + line.text);
        }
        EXPECT_EQ(clockLines, std::vector<std::string>{c.line});
    }
}

}  // namespace
