// The samples an NTP daemon gets: one per second mark while a confirmed time
// holds, stamped with the machine's clock at the mark, and none once the
// chain breaks until the next confirmation.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "input/dcf77_signal.h"
#include "reception/edge_decoder.h"
#include "reception/robust_reception.h"
#include "reception/strict_confirmation.h"
#include "tests/support/fake_clock.h"
#include "ui/refclock_samples.h"

namespace {

using dcf77::kMinuteMs;
using dcf77::UtcMs;

constexpr int64_t kAheadMs = 40;  // the machine's clock runs this far ahead
constexpr uint32_t kHandledAfterMs = 7;

class Recorder final : public TimeSampleOutput, public RealTimeClock {
public:
    std::vector<TimeSample> samples;
    int64_t nowMs = 0;
    void Send(const TimeSample& sample) override { samples.push_back(sample); }
    RealTime Now() override { return {nowMs / 1000, static_cast<int32_t>(nowMs % 1000 * 1'000'000)}; }
};


// Feeds the edges through the decoder as the dialog does with an output, in
// strict mode or robust; checks every sample names its mark's second and
// carries the machine's reading there, less half a sampling period; or, when
// each edge comes with its own instant (`instantAfterStampNs` into its stamp's
// millisecond), that instant. Returns the reference seconds in milliseconds,
// and the samples in `all`.
std::vector<int64_t> Replay(const dcf77::EdgeStreamOptions& options, const std::vector<dcf77::SampledEdge>& edges,
                            std::vector<TimeSample>* all = nullptr, bool robust = false,
                            std::optional<int64_t> instantAfterStampNs = {}) {
    ResetReception();
    StoreConfirmFlag(*dcfPtr);
    strictConfirmation = !robust;
    robustReception = robust;
    FakeMachineClocks clocks{0};
    Recorder recorder;
    RefclockSamples samples(clocks, recorder, recorder, clocks);
    std::vector<int64_t> seconds;
    for (const dcf77::SampledEdge& edge : edges) {
        clocks.ns = (int64_t{edge.stampMs} + kHandledAfterMs) * 1'000'000;
        recorder.nowMs = dcf77::StampUtcMs(options, edge.stampMs) + kHandledAfterMs + kAheadMs;
        DecodeEdge(edge.level, static_cast<int32_t>(edge.stampMs));
        std::optional<int64_t> instant;
        if (instantAfterStampNs) instant = int64_t{edge.stampMs} * 1'000'000 + *instantAfterStampNs;
        const bool sent = samples.AfterEdge(*dcfPtr, timeConfirmed != 0, edge.stampMs, instant);
        timeConfirmed = 0;
        EXPECT_EQ(sent, recorder.samples.size() != seconds.size());
        if (!sent) continue;
        const TimeSample& sample = recorder.samples.back();
        seconds.push_back(sample.reference.seconds * 1000);
        EXPECT_EQ(seconds.back(), dcf77::StampUtcMs(options, edge.stampMs) - options.phaseMs);
        const int64_t offsetNs = (sample.receive.seconds - sample.reference.seconds) * 1'000'000'000 +
                                 sample.receive.nanoseconds - sample.reference.nanoseconds;
        EXPECT_EQ(offsetNs, (options.phaseMs + kAheadMs) * 1'000'000 +
                                (instantAfterStampNs ? *instantAfterStampNs : -kHalfSamplingPeriodNs));
        EXPECT_EQ(sample.precision, instantAfterStampNs ? kInstantPrecision : -6);
    }
    strictConfirmation = robustReception = false;
    if (all) *all = recorder.samples;
    return seconds;
}

TEST(RefclockSamples, EverySecondMarkAfterTheConfirmationIsOneTrueSample) {
    // Every run's stamps cross the 2^32 wrap; the broken chain below runs without it.
    const struct { const char* name; int64_t minuteUtcMs; } cases[] = {
        {"the hour 02 of summer time", UtcMs(2026, 10, 25, 0, 2)},
        {"the hour 02 of winter time", UtcMs(2026, 10, 25, 1, 2)},
        {"new year in legal time only", UtcMs(2026, 12, 31, 23, 2)},
        {"plain minutes", UtcMs(2026, 12, 6, 13, 2)},
    };
    for (const auto& c : cases) {
      for (const bool robust : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + (robust ? ", robust" : ""));
        dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(c.minuteUtcMs, 6);
        options.firstStampMs = 0xFFFFFFFFu - 200000u;
        options.phaseMs = 10;
        const std::vector<int64_t> seconds = Replay(options, dcf77::GenerateEdgeVector(options), nullptr, robust);
        // The same with each edge's own instant.
        EXPECT_EQ(Replay(options, dcf77::GenerateEdgeVector(options), nullptr, robust, 300'000), seconds);
        // From the third telegram's mark on, 59 marks a minute (none in
        // second 59), up to the sixth minute mark.
        ASSERT_EQ(seconds.size(), 3u * 59 + 1);
        EXPECT_EQ(seconds.front(), c.minuteUtcMs + 3 * kMinuteMs);
        for (std::size_t i = 1; i < seconds.size(); ++i)
            EXPECT_EQ(seconds[i] - seconds[i - 1], seconds[i] % kMinuteMs == 0 ? 2000 : 1000) << i;
      }
    }
}

TEST(RefclockSamples, AMissingMarkStopsTheSamplesUntilTheNextConfirmation) {
    const int64_t minute = UtcMs(2026, 12, 6, 13, 2);
    const dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(minute, 7);
    const struct { int64_t missing, lastBefore, resumed; } cases[] = {
        // Synchronisation is lost at 13:06:21; the broken minute is no link: back at 13:08:00.
        {minute + 4 * kMinuteMs + 20000, minute + 4 * kMinuteMs + 19000, minute + 6 * kMinuteMs},
        // The mark of second 1 closes the minute: the default rule took it, a second late.
        {minute + 4 * kMinuteMs, minute + 3 * kMinuteMs + 58000, 0},
    };
    for (const auto& c : cases) {
        std::vector<dcf77::SampledEdge> edges = dcf77::GenerateEdgeVector(options);
        std::erase_if(edges, [&](const dcf77::SampledEdge& e) { return dcf77::StampUtcMs(options, e.stampMs) / 500 == c.missing / 500; });
        const std::vector<int64_t> seconds = Replay(options, edges);
        const auto gap = std::adjacent_find(seconds.begin(), seconds.end(), [](int64_t a, int64_t b) { return b - a > 2000; });
        EXPECT_EQ(gap == seconds.end() ? seconds.back() : *gap, c.lastBefore);
        EXPECT_EQ(gap == seconds.end() ? 0 : *(gap + 1), c.resumed);
    }
}

// A2 warns the daemon for the hour before a leap second, but for its own minute.
TEST(RefclockSamples, LeapWarningUntilTheLeapMinute) {
    dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(UtcMs(2026, 12, 31, 23, 54), 8);
    options.leapSecondUtcMs = UtcMs(2027, 1, 1);
    std::vector<TimeSample> samples;
    Replay(options, dcf77::GenerateEdgeVector(options), &samples);
    ASSERT_EQ(samples.size(), 3u * 59) << "23:57, 23:58 and the leap minute; then the 61 s minute breaks the chain";
    for (const TimeSample& sample : samples)
        EXPECT_EQ(sample.leap, sample.reference.seconds < UtcMs(2026, 12, 31, 23, 59) / 1000 ? 1 : 0);
}

TEST(RefclockSamples, SettingTexts) {
    const std::string longest = "sock:/" + std::string(kMaxSocketPath - 1, 'x');
    for (std::string bad : {"shm:", "shm:-1", "shm:1x", "shm:256", "sock:", "SHM:0", "0"}) EXPECT_FALSE(ParseRefclockSetting(bad)) << bad;
    EXPECT_FALSE(ParseRefclockSetting(longest + "x"));
    EXPECT_EQ(ParseRefclockSetting(longest)->path.size(), kMaxSocketPath);
    EXPECT_EQ(ParseRefclockSetting("shm:255")->unit, 255);
}

}  // namespace
