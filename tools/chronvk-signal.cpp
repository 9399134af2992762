// chronvk-signal: writes the edge log of a simulated DCF77 receiver, one edge a
// line "LEVEL STAMP_MS", ready for chronvk-decode.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "input/dcf77_signal.h"
#include "input/edge_log.h"

namespace {

constexpr const char* kUsage =
    "usage: chronvk-signal [options]\n"
    "Writes the edges a 25 ms sampler would post for a simulated DCF77 receiver,\n"
    "one per line as \"LEVEL STAMP_MS\", to standard output.\n"
    "\n"
    "  --start \"YYYY-MM-DD HH:MM\"  UTC minute whose minute mark the decoder locks on\n"
    "                             (default: now, rounded down to the minute)\n"
    "  --minutes N                minutes of telegrams after that mark (default 4)\n"
    "  --polarity 0|1             level of a mark (default 0: marks are 0, idle is 1)\n"
    "  --stamp MS                 stamp of the first sample, 0..4294967295 (default 10000);\n"
    "                             later stamps wrap modulo 2^32\n"
    "  --phase MS                 offset of the 25 ms sample grid, 0..24 (default 0)\n"
    "  --seed S                   seed of the noise (default 1)\n"
    "  --glitches RATE            short spikes per second, 0..1 (default 0)\n"
    "  --dropouts RATE            missing marks per second, 0..1 (default 0)\n"
    "  --flips RATE               marks of the wrong length per second, 0..1 (default 0)\n"
    "  --jitter MS                each stamp late by up to MS, 0..100 (default 0)\n"
    "  --interference KIND        the same disturbance every minute: late-mark[:MS]\n"
    "                             (mark 58 late, the next mark 0 missing, every 5th\n"
    "                             minute), glitch (a glitch after mark 58 instead),\n"
    "                             summer-bits (marks 17 and 18 swapped) or\n"
    "                             long-marks:A,B (the marks of seconds A and B long)\n"
    "  --help                     this text\n"
    "\n"
    "The log begins 5 s before START, so the decoder synchronises on START's minute\n"
    "mark, and ends 1 s after the minute mark N minutes later. The telegrams sent in\n"
    "those N minutes are decoded at the following N minute marks; three agreeing ones\n"
    "confirm a time, so the default 4 minutes confirm at START + 3 min.\n";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "chronvk-signal: %s\n", message.c_str());
    std::exit(2);
}

bool ParseUnsigned(std::string_view text, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (digit > max || v > (max - digit) / 10) return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

bool ParseRate(const char* text, double& rate) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0.0 && v <= 1.0)) return false;
    rate = v;
    return true;
}

// "YYYY-MM-DD HH:MM", a real calendar date.
bool ParseStart(std::string_view text, int64_t& utcMs) {
    if (text.size() != 16 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':')
        return false;
    auto number = [&text](size_t at, size_t width, int& out) {
        uint64_t v = 0;
        if (!ParseUnsigned(text.substr(at, width), 9999, v)) return false;
        out = static_cast<int>(v);
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour) ||
        !number(14, 2, minute))
        return false;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59) return false;
    int checkYear = 0, checkMonth = 0, checkDay = 0;
    dcf77::CivilFromDays(dcf77::DaysFromCivil(year, month, day), checkYear, checkMonth, checkDay);
    if (checkMonth != month || checkDay != day) return false;  // 31 April and the like
    utcMs = dcf77::UtcMs(year, month, day, hour, minute);
    return true;
}

void FormatUtcMinute(int64_t utcMs, char (&out)[32]) {
    int year = 0, month = 0, day = 0;
    const int64_t days = dcf77::FloorDiv(utcMs, dcf77::kDayMs);
    dcf77::CivilFromDays(days, year, month, day);
    const int64_t ofDay = utcMs - days * dcf77::kDayMs;
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d", year, month, day,
                  static_cast<int>(ofDay / dcf77::kHourMs), static_cast<int>(ofDay / dcf77::kMinuteMs % 60));
}

// Buffers the log in large blocks: a day is some 170,000 lines.
class LineWriter {
public:
    ~LineWriter() { Flush(); }
    void Edge(dcf77::SampledEdge edge) {
        if (used_ + kEdgeLineMax > sizeof buffer_) Flush();
        used_ += FormatEdgeLine({edge.level, edge.stampMs}, buffer_ + used_);
    }
    void Flush() {
        if (used_ != 0) std::fwrite(buffer_, 1, used_, stdout);
        used_ = 0;
    }

private:
    char buffer_[1 << 16];
    size_t used_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    int64_t start = dcf77::FloorDiv(std::chrono::duration_cast<std::chrono::milliseconds>(now).count(),
                                    dcf77::kMinuteMs) * dcf77::kMinuteMs;
    uint64_t minutes = 4, polarity = 0, stamp = 10000, phase = 0, seed = 1, jitter = 0;
    double glitches = 0, dropouts = 0, flips = 0;
    dcf77::Interference interference;
    const char* interferenceText = "none";

    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option.substr(0, 2) != "--") Fail("unexpected argument '" + std::string(option) + "'");
        if (i + 1 >= argc) Fail(std::string(option) + " needs a value");
        const char* value = argv[++i];
        bool ok = false;
        if (option == "--start") ok = ParseStart(value, start);
        else if (option == "--minutes") ok = ParseUnsigned(value, 100000, minutes) && minutes >= 1;
        else if (option == "--polarity") ok = ParseUnsigned(value, 1, polarity);
        else if (option == "--stamp") ok = ParseUnsigned(value, UINT32_MAX, stamp);
        else if (option == "--phase") ok = ParseUnsigned(value, 24, phase);
        else if (option == "--seed") ok = ParseUnsigned(value, UINT64_MAX, seed);
        else if (option == "--jitter") ok = ParseUnsigned(value, 100, jitter);
        else if (option == "--glitches") ok = ParseRate(value, glitches);
        else if (option == "--dropouts") ok = ParseRate(value, dropouts);
        else if (option == "--flips") ok = ParseRate(value, flips);
        else if (option == "--interference") ok = dcf77::ParseInterference(interferenceText = value, interference);
        else Fail("unknown option " + std::string(option));
        if (!ok) Fail("bad value '" + std::string(value) + "' for " + std::string(option));
    }

    dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(start, static_cast<int>(minutes));
    options.polarity = static_cast<uint8_t>(polarity);
    options.firstStampMs = static_cast<uint32_t>(stamp);
    options.phaseMs = static_cast<uint32_t>(phase);
    options.seed = seed;
    options.jitterMs = static_cast<uint32_t>(jitter);
    options.glitchRate = glitches;
    options.dropoutRate = dropouts;
    options.flipRate = flips;
    options.interference = interference;

    char startText[32];
    FormatUtcMinute(start, startText);
    std::printf("# chronvk-signal: start %s UTC, %llu minutes, polarity %llu, first stamp %llu, phase %llu ms\n",
                startText, static_cast<unsigned long long>(minutes), static_cast<unsigned long long>(polarity),
                static_cast<unsigned long long>(stamp), static_cast<unsigned long long>(phase));
    std::printf("# seed %llu, glitches %g/s, dropouts %g/s, flips %g/s, jitter %llu ms, interference %s;"
                " log begins 5 s before start\n",
                static_cast<unsigned long long>(seed), glitches, dropouts, flips,
                static_cast<unsigned long long>(jitter), interferenceText);

    static LineWriter writer;
    dcf77::GenerateEdges(options, [](dcf77::SampledEdge edge) { writer.Edge(edge); });
    writer.Flush();
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : 0;
}
