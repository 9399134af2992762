// How often each confirmation rule sets a right and a wrong time from a noisy
// or deliberately disturbed signal. Not a timing: it replays generated minutes
// through the real decoder and compares every confirmed minute with the time
// the signal really had.
//
//   chronvk_confirmation_bench [SEEDS [MINUTES]]   (defaults 10 and 1000)
//
// Per row, summed over the seeds: the median minutes to the first right
// setting, the share of the minutes after it that brought a right setting, and
// the settings that were wrong (the time the clock would get half a second or
// more away from the true time). Telegrams whose date cannot exist are refused
// by the clock and counted as neither. Then interference that repeats every
// minute, and what other strict bounds would have done.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "clock/clock_setting.h"
#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "reception/strict_confirmation.h"

namespace {

using dcf77::EdgeStreamOptions;

struct Tally {
    std::vector<double> firstRight;  // minutes, one per seed that had a right setting
    int seeds = 0;
    long right = 0;
    long wrong = 0;
    long laterRight = 0;    // right settings after the first one
    long laterMinutes = 0;  // minutes after the first right setting
};

enum class Mode { Default, Strict, Robust };

void Replay(const std::vector<dcf77::SampledEdge>& edges, const EdgeStreamOptions& options, Mode mode,
            Tally& tally) {
    ResetReception();
    StoreConfirmFlag(ownDcfState);
    strictConfirmation = mode == Mode::Strict;
    robustReception = mode == Mode::Robust;

    const int64_t runEnd = dcf77::StampUtcMs(options, options.firstStampMs) + options.durationMs;
    int64_t firstRightAt = -1;
    for (const dcf77::SampledEdge& edge : edges) {
        DecodeEdge(edge.level, static_cast<int32_t>(edge.stampMs));
        if (!timeConfirmed) continue;
        timeConfirmed = 0;
        TDcfState& state = *dcfPtr;
        const TDcfTelegram& t = state.current;
        // As the program goes on after a setting without a pause.
        state.telegramsStored = 2;
        if (!IsRealTelegramTime(t)) continue;
        const int year = FourDigitYear(t.year);
        // The time the clock gets: the minute named, and the whole seconds
        // since its mark when the confirmation comes later than the mark.
        const int64_t named = dcf77::UtcMs(year, t.month, t.day, t.hour, t.minute) -
                              (t.summerTime ? 2 : 1) * dcf77::kHourMs +
                              SecondsSinceMark(edge.stampMs, t.markTime) * dcf77::kSecondMs;
        const int64_t atMark = dcf77::StampUtcMs(options, edge.stampMs);
        if (std::llabs(named - atMark) >= 500) {
            ++tally.wrong;
            continue;
        }
        ++tally.right;
        if (firstRightAt < 0) {
            firstRightAt = atMark;
            tally.firstRight.push_back(static_cast<double>(atMark - options.startUtcMs) / 60000.0);
        } else {
            ++tally.laterRight;
        }
    }
    // The minute marks after the first right setting, the run's last included.
    if (firstRightAt >= 0) {
        tally.laterMinutes += dcf77::FloorDiv(runEnd - dcf77::kTailMs, dcf77::kMinuteMs) -
                              dcf77::FloorDiv(firstRightAt, dcf77::kMinuteMs);
    }
    ++tally.seeds;
    strictConfirmation = robustReception = false;
}

void PrintHalf(const Tally& t) {
    std::vector<double> firsts = t.firstRight;
    char median[16] = "-";
    if (!firsts.empty()) {
        std::sort(firsts.begin(), firsts.end());
        std::snprintf(median, sizeof median, "%.0f", firsts[firsts.size() / 2]);
    }
    const double share = t.laterMinutes ? 100.0 * static_cast<double>(t.laterRight) /
                                              static_cast<double>(t.laterMinutes)
                                        : 0.0;
    std::printf(" | %5s | %5.1f %% | %5ld", median, share, t.wrong);
}

struct Run {
    const char* name;
    int64_t startUtc;
    int64_t leapUtc = 0;
};

EdgeStreamOptions Options(const Run& run, int minutes, int seed, double flips, double missing) {
    EdgeStreamOptions options = dcf77::OptionsForMinutes(run.startUtc, minutes);
    options.initialLevel = 1;  // the line starts idle
    options.flipRate = flips;
    options.dropoutRate = missing;
    options.jitterMs = 3;
    options.seed = static_cast<uint64_t>(seed) * 7919u + 1;
    options.leapSecondUtcMs = run.leapUtc;
    return options;
}

const Run kDay{"day", dcf77::UtcMs(2026, 12, 6, 0, 0)};
const Run kSummerChange{"summer change", dcf77::UtcMs(2026, 3, 28, 18, 0)};
const Run kWinterChange{"winter change", dcf77::UtcMs(2026, 10, 24, 18, 0)};
const Run kLeapSecond{"leap second", dcf77::UtcMs(2026, 12, 31, 18, 0), dcf77::UtcMs(2027, 1, 1)};
const Run kNewYear{"New Year", dcf77::UtcMs(2027, 12, 31, 18, 0)};
const Run kLeapDay{"29 February", dcf77::UtcMs(2028, 2, 28, 18, 0)};

struct Noise {
    double flips;
    double missing;
    double glitches = 0;
    uint32_t jitterMs = 3;  // 60: each edge 0 to 60 ms late, 30 ms either side of its mean
};

void PrintModes(const char* label, const Tally (&tallies)[3]) {
    std::printf("%s", label);
    for (const Tally& t : tallies) PrintHalf(t);
    std::printf(" |\n");
}

// Every mode over the same edges; noisy rows get more seeds and minutes.
void RandomNoiseTable(int seeds, int minutes) {
    const Noise day[] = {
        {0, 0},         {0.002, 0},     {0.005, 0},      {0.01, 0},           {0.02, 0},
        {0.05, 0},      {0.1, 0},       {0, 0.01},       {0.002, 0.01},       {0.005, 0.01},
        {0.01, 0.01},   {0.02, 0.01},   {0.05, 0.01},    {0.1, 0.01},         {0, 0.05},
        {0.05, 0.05},   {0.1, 0.05},    {0.05, 0.01, 0.05, 60}, {0.1, 0.05, 0.05, 60},
    };
    const Noise special[] = {{0, 0}, {0.02, 0.01}, {0.05, 0.01, 0.02, 60}, {0.1, 0.05, 0.02, 60}};
    std::printf("| flips | missing | glitches | jitter | run | default first | later | wrong "
                "| strict first | later | wrong | robust first | later | wrong |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    long noisyMinutes = 0, robustWrong = 0;
    auto row = [&](const Run& run, const Noise& noise) {
        const bool noisy = noise.flips > 0 || noise.missing > 0 || noise.glitches > 0;
        const int rowSeeds = noisy ? 2 * seeds : seeds;
        const int rowMinutes = noisy ? 2 * minutes : minutes;
        Tally tallies[3];
        for (int seed = 1; seed <= rowSeeds; ++seed) {
            EdgeStreamOptions options = Options(run, rowMinutes, seed, noise.flips, noise.missing);
            options.glitchRate = noise.glitches;
            options.jitterMs = noise.jitterMs;
            const std::vector<dcf77::SampledEdge> edges = dcf77::GenerateEdgeVector(options);
            for (Mode mode : {Mode::Default, Mode::Strict, Mode::Robust}) {
                Replay(edges, options, mode, tallies[static_cast<int>(mode)]);
            }
        }
        if (noisy) {
            noisyMinutes += static_cast<long>(rowSeeds) * rowMinutes;
            robustWrong += tallies[2].wrong;
        }
        char label[96];
        std::snprintf(label, sizeof label, "| %4.1f %% | %4.0f %% | %4.0f %% | %s | %-13s", noise.flips * 100,
                      noise.missing * 100, noise.glitches * 100, noise.jitterMs > 3 ? "30 ms" : "3 ms", run.name);
        PrintModes(label, tallies);
    };
    for (const Noise& noise : day) row(kDay, noise);
    for (const Run& run : {kSummerChange, kWinterChange, kLeapSecond, kNewYear, kLeapDay}) {
        for (const Noise& noise : special) row(run, noise);
    }
    std::printf("\nrobust mode: %ld wrong settings in %ld noisy minutes\n\n", robustWrong, noisyMinutes);
}

// One interference row: every seed's edges, generated once.
struct Row {
    const char* name;
    Run run;
    int minutes;
    std::vector<EdgeStreamOptions> options;
    std::vector<std::vector<dcf77::SampledEdge>> edges;
};

Row MakeRow(const char* name, const char* interference, const Run& run, int minutes, int seeds, double flips) {
    Row row{name, run, minutes, {}, {}};
    for (int seed = 1; seed <= seeds; ++seed) {
        row.options.push_back(Options(run, minutes, seed, flips, 0));
        if (!dcf77::ParseInterference(interference, row.options.back().interference)) std::abort();
        row.edges.push_back(dcf77::GenerateEdgeVector(row.options.back()));
    }
    return row;
}

Tally ReplayRow(const Row& row, Mode mode) {
    Tally tally;
    for (std::size_t i = 0; i < row.options.size(); ++i) Replay(row.edges[i], row.options[i], mode, tally);
    return tally;
}

}  // namespace

int main(int argc, char** argv) {
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 1000;
    const strict::Bounds chosen = strict::bounds;

    std::printf("%d seeds x %d minutes a row; first: median minutes to the first right setting;\n"
                "later: share of the minutes after it with a right setting; wrong: wrong settings\n\n",
                seeds, minutes);
    RandomNoiseTable(seeds, minutes);

    // Interference in step with the signal (see dcf77::Interference), on top
    // of 0.2 % flipped bits. The
    // pairs start in an hour they leave right, so that a time is confirmed
    // before they shift one; three days each.
    const int days = 3 * 1440;
    const int few = std::max(1, seeds / 3);
    const Row rows[] = {
        MakeRow("mark 0 missing, mark 58 200 ms late, every 5th minute", "late-mark:200", kDay, minutes, seeds, 0.002),
        MakeRow("mark 0 missing, mark 58 300 ms late, every 5th minute", "late-mark:300", kDay, minutes, seeds, 0.002),
        // A day whose date parity is 1, so that the glitch, which lengthens mark 58, leaves its bit right.
        MakeRow("mark 0 missing, glitch after mark 58, every 5th minute", "glitch",
                {"7 December", dcf77::UtcMs(2026, 12, 6, 23, 0)}, minutes, seeds, 0.002),
        MakeRow("marks 17 long and 18 short, every minute", "summer-bits", kDay, minutes, seeds, 0.002),
        MakeRow("hour bits 1+2 long (+3 h)", "long-marks:29,30", {"day from 17:00", dcf77::UtcMs(2026, 12, 6, 16, 0)},
                days, few, 0.002),
        MakeRow("hour bits 1+4 long (+5 h)", "long-marks:29,31", {"day from 05:00", dcf77::UtcMs(2026, 12, 6, 4, 0)},
                days, few, 0.002),
        MakeRow("hour bits 1+10 long (+11 h)", "long-marks:29,33", {"day from 11:00", dcf77::UtcMs(2026, 12, 6, 10, 0)},
                days, few, 0.002),
        MakeRow("minute bits 10+20 long (+30 min)", "long-marks:25,26",
                {"day from 00:28", dcf77::UtcMs(2026, 12, 5, 23, 28)}, days, few, 0.002),
        MakeRow("none (clean)", "none", kDay, days, few, 0),
        MakeRow("none (1 % flips)", "none", kDay, days, few, 0.01),
        MakeRow("none, summer change", "none", kSummerChange, minutes, seeds, 0.002),
        MakeRow("none, winter change", "none", kWinterChange, minutes, seeds, 0.002),
        MakeRow("none, leap second", "none", kLeapSecond, minutes, seeds, 0.002),
    };

    std::printf("Interference every minute (0.2 %% flips besides; seeds x minutes per row as shown)\n\n");
    std::printf("| interference | run | seeds x minutes | default first | later | wrong | strict first | later | wrong "
                "| robust first | later | wrong |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& row : rows) {
        std::printf("| %s | %s | %zu x %d", row.name, row.run.name, row.options.size(), row.minutes);
        PrintHalf(ReplayRow(row, Mode::Default));
        PrintHalf(ReplayRow(row, Mode::Strict));
        PrintHalf(ReplayRow(row, Mode::Robust));
        std::printf(" |\n");
    }

    // Other bounds, strict mode only: the frame on the late-mark and glitch
    // rows and the random ones; the time line on the pairs and the undisturbed runs.
    std::printf("\nStrict mode with other bounds: right / wrong settings per row\n\n");
    std::printf("| last mark to minute mark | give up the time line after |");
    for (const Row& row : rows) std::printf(" %.24s |", row.name);
    std::printf("\n|---|---|");
    for (std::size_t i = 0; i < std::size(rows); ++i) std::printf("---|");
    std::printf("\n");
    const int32_t frames[] = {210, 230, 250, 270};
    const uint32_t giveUps[] = {0, 2 * 3600000u, 6 * 3600000u, 12 * 3600000u, 24 * 3600000u};
    auto sweep = [&](int32_t frame, uint32_t giveUp) {
        strict::bounds.maxLastMarkToMinute = frame;
        strict::bounds.giveUpMs = giveUp;
        std::printf("| %d.%02d s | %u h |", frame / 100, frame % 100, giveUp / 3600000u);
        for (const Row& row : rows) {
            const Tally t = ReplayRow(row, Mode::Strict);
            std::printf(" %ld / %ld |", t.right, t.wrong);
        }
        std::printf("\n");
    };
    for (int32_t frame : frames) sweep(frame, chosen.giveUpMs);
    for (uint32_t giveUp : giveUps) {
        if (giveUp != chosen.giveUpMs) sweep(chosen.maxLastMarkToMinute, giveUp);
    }
    strict::bounds = chosen;
    return 0;
}
