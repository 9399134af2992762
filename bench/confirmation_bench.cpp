// How often each confirmation rule sets a right and a wrong time from a noisy
// signal. Not a timing: it replays generated minutes through the real decoder
// and compares every confirmed minute with the time the signal really had.
//
//   chronvk_confirmation_bench [SEEDS [MINUTES]]   (defaults 10 and 1000)
//
// Per row (noise and start), summed over the seeds: the median minutes to
// the first right setting, the share of the minutes after it that brought a
// right setting, and the settings that were wrong (a minute mark more than
// half a second away from the time the telegram named). Telegrams whose date
// cannot exist are refused by the clock and counted as neither.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "clock/clock_setting.h"
#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"
#include "reception/strict_confirmation.h"

namespace {

struct Noise {
    double flips;
    double missing;
};

struct Tally {
    std::vector<double> firstRight;  // minutes, one per seed that had a right setting
    int seeds = 0;
    long right = 0;
    long wrong = 0;
    long laterRight = 0;    // right settings after the first one
    long laterMinutes = 0;  // minutes after the first right setting
};

void Replay(const std::vector<dcf77::SampledEdge>& edges, const dcf77::EdgeStreamOptions& options,
            bool strict, Tally& tally) {
    ResetReception();
    StoreConfirmFlag(ownDcfState);
    strictConfirmation = strict;

    const int64_t first = options.startUtcMs + options.phaseMs;
    const int64_t runEnd = options.startUtcMs + options.durationMs;
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
        const int64_t named = dcf77::UtcMs(year, t.month, t.day, t.hour, t.minute) -
                              (t.summerTime ? 2 : 1) * dcf77::kHourMs;
        const uint32_t markStamp = static_cast<uint32_t>(t.markTime) * 10u;
        const int64_t atMark = first + static_cast<int64_t>(markStamp - options.firstStampMs);
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
    if (firstRightAt >= 0) tally.laterMinutes += (runEnd - firstRightAt) / dcf77::kMinuteMs;
    ++tally.seeds;
    strictConfirmation = false;
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

}  // namespace

int main(int argc, char** argv) {
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 1000;
    const Noise noises[] = {{0, 0},     {0.002, 0}, {0.005, 0}, {0.01, 0}, {0.02, 0}, {0.05, 0},
                            {0, 0.01},  {0.002, 0.01}, {0.005, 0.01}, {0.01, 0.01}, {0.02, 0.01},
                            {0.05, 0.01}};
    struct Start {
        const char* name;
        int64_t utc;
    };
    // The second run crosses the change to summer time (01:00 UTC, 29 March 2026).
    const Start starts[] = {{"day", dcf77::UtcMs(2026, 12, 6, 0, 0)},
                            {"summer change", dcf77::UtcMs(2026, 3, 28, 18, 0)}};

    std::printf("%d seeds x %d minutes a row; first: median minutes to the first right setting;\n"
                "later: share of the minutes after it with a right setting; wrong: wrong settings\n\n",
                seeds, minutes);
    std::printf("| flips | missing | run           | default first | later   | wrong "
                "| strict first | later   | wrong | strict/default right |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    long noisyMinutes = 0, strictWrongInScope = 0;
    for (const Start& start : starts) {
        for (const Noise& noise : noises) {
            Tally plain, strict;
            for (int seed = 1; seed <= seeds; ++seed) {
                dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(start.utc, minutes);
                options.initialLevel = 1;  // the line starts idle
                options.flipRate = noise.flips;
                options.dropoutRate = noise.missing;
                options.jitterMs = 3;
                options.seed = static_cast<uint64_t>(seed) * 7919u + 1;
                const std::vector<dcf77::SampledEdge> edges = dcf77::GenerateEdgeVector(options);
                Replay(edges, options, false, plain);
                Replay(edges, options, true, strict);
            }
            const bool inScope = noise.flips <= 0.02 && noise.missing <= 0.01;
            const bool noisy = noise.flips > 0 || noise.missing > 0;
            if (inScope && noisy) {
                noisyMinutes += static_cast<long>(seeds) * minutes;
                strictWrongInScope += strict.wrong;
            }
            std::printf("| %4.1f %% | %4.0f %%  | %-13s", noise.flips * 100, noise.missing * 100, start.name);
            PrintHalf(plain);
            PrintHalf(strict);
            std::printf(" | %5.1f %% |\n", plain.right ? 100.0 * static_cast<double>(strict.right) /
                                                            static_cast<double>(plain.right)
                                                      : 100.0);
        }
    }
    std::printf("\nstrict mode, up to 2 %% flips and 1 %% missing marks: %ld wrong settings in %ld noisy minutes\n",
                strictWrongInScope, noisyMinutes);
    return 0;
}
