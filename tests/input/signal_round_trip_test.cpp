// The generated signal through the real edge and telegram decoders: every
// time the decoder confirms must be the time that was encoded.

#include <gtest/gtest.h>

#include <array>

#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"

using namespace dcf77;

namespace {

struct Result {
    uint32_t valid, confirmed, summer, announced;  // confirmations in summer time / with A1
};

// Decodes the stream and checks every confirmation against the legal time of
// the minute whose mark brought it.
Result RoundTrip(const EdgeStreamOptions& options) {
    ResetReception();
    dcfPtr->polarity = options.polarity;
    Result r{};
    GenerateEdges(options, [&](SampledEdge edge) {
        const uint32_t before = dcfPtr->confirmedCount;
        DecodeEdge(edge.level, static_cast<int32_t>(edge.stampMs));
        if (dcfPtr->confirmedCount == before) return;
        // The sample that saw the minute mark lies within one period after it.
        const int64_t utc = options.startUtcMs + options.phaseMs + (edge.stampMs - options.firstStampMs);
        const LegalTime e = GermanLegalTime(FloorDiv(utc, kMinuteMs) * kMinuteMs);
        const TDcfTelegram& t = dcfPtr->current;
        EXPECT_EQ((std::array<int, 7>{t.year, t.month, t.day, t.weekday, t.hour, t.minute, t.summerTime}),
                  (std::array<int, 7>{e.year % 100, e.month, e.day, e.weekday, e.hour, e.minute, e.summer}));
        r.confirmed++;
        r.summer += t.summerTime;
        r.announced += t.dstAnnounce;
    });
    r.valid = dcfPtr->validCount;
    return r;
}

// The last Sundays of March and October, where the month's last week starts late.
TEST(Dcf77Encoder, SummerTimeSwitchDates) {
    const struct { int year, marchDay, octoberDay; } switches[] = {
        {2024, 31, 27}, {2025, 30, 26}, {2026, 29, 25}, {2027, 28, 31}, {2000, 26, 29}};
    for (const auto& c : switches) {
        EXPECT_EQ(SummerTimeStartUtc(c.year), UtcMs(c.year, 3, c.marchDay, 1)) << c.year;
        EXPECT_EQ(SummerTimeEndUtc(c.year), UtcMs(c.year, 10, c.octoberDay, 1)) << c.year;
    }
}

TEST(SignalRoundTrip, CleanSignalConfirmsTheEncodedTime) {
    // Confirmed from the third telegram on, except while a change of hour is in the window.
    const struct { const char* name; int64_t start; int minutes; uint8_t polarity; uint32_t phase, stamp; Result r; }
        cases[] = {
        {"an hour across the stamp wrap", UtcMs(2026, 12, 6, 12, 30), 60, 0, 0, UINT32_MAX - 600000u, {60, 55, 0, 0}},
        {"to summer", SummerTimeStartUtc(2026) - 90 * kMinuteMs, 150, 0, 0, 10000, {150, 141, 57, 57}},
        {"to winter", SummerTimeEndUtc(2026) - 90 * kMinuteMs, 150, 1, 7, 10000, {150, 141, 84, 57}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EdgeStreamOptions options = OptionsForMinutes(c.start, c.minutes);
        options.polarity = c.polarity;
        options.phaseMs = c.phase;
        options.firstStampMs = c.stamp;
        const Result r = RoundTrip(options);
        EXPECT_EQ((std::array{r.valid, r.confirmed, r.summer, r.announced}),
                  (std::array{c.r.valid, c.r.confirmed, c.r.summer, c.r.announced}));
    }
}

TEST(SignalRoundTrip, NoiseNeverConfirmsAWrongTime) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 5, 3, 4, 0), 180);
    options.glitchRate = 0.005;
    options.dropoutRate = 0.002;
    options.flipRate = 0.004;
    options.jitterMs = 8;
    options.seed = 7;
    const Result r = RoundTrip(options);
    EXPECT_LT(r.valid, 180u);      // the noise does get through...
    EXPECT_GT(r.confirmed, 10u);  // ...and reception still works
}

}  // namespace
