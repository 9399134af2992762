// The generated signal through the real edge and telegram decoders: every
// time the decoder confirms must be the time that was encoded.

#include <gtest/gtest.h>

#include <vector>

#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"

using namespace dcf77;

namespace {

struct Confirmation {
    TDcfTelegram telegram;
    LegalTime expected;  // legal time of the minute whose mark brought it
};

struct RoundTripResult {
    std::vector<Confirmation> confirmations;
    uint32_t telegrams = 0;
    uint32_t valid = 0;
    uint32_t syncLosses = 0;
};

class SignalRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ownDcfState = TDcfState{};
        dcfPtr = &ownDcfState;
        timeConfirmed = 0;
        ResetEdgeDecoderForTest();
    }

    RoundTripResult Run(const EdgeStreamOptions& options) {
        dcfPtr->polarity = options.polarity;
        RoundTripResult result;
        GenerateEdges(options, [&](SampledEdge edge) {
            const uint32_t before = dcfPtr->confirmedCount;
            DecodeEdge(edge.level, static_cast<int32_t>(edge.stampMs));
            if (dcfPtr->confirmedCount == before) return;
            // The sample that saw the minute mark lies within one period after it.
            const int64_t utc = options.startUtcMs + options.phaseMs +
                                static_cast<uint32_t>(edge.stampMs - options.firstStampMs);
            result.confirmations.push_back(
                {dcfPtr->current, GermanLegalTime(FloorDiv(utc, kMinuteMs) * kMinuteMs)});
        });
        result.telegrams = dcfPtr->telegramCount;
        result.valid = dcfPtr->validCount;
        result.syncLosses = dcfPtr->syncAttempts;
        return result;
    }

    static void ExpectAllMatch(const RoundTripResult& result) {
        for (const Confirmation& c : result.confirmations) {
            const TDcfTelegram& t = c.telegram;
            const LegalTime& e = c.expected;
            SCOPED_TRACE(testing::Message() << e.year << "-" << e.month << "-" << e.day << " " << e.hour
                                            << ":" << e.minute);
            EXPECT_EQ(t.hour, e.hour);
            EXPECT_EQ(t.minute, e.minute);
            EXPECT_EQ(t.day, e.day);
            EXPECT_EQ(t.month, e.month);
            EXPECT_EQ(t.year, e.year % 100);
            EXPECT_EQ(t.weekday, e.weekday);
            EXPECT_EQ(t.summerTime, e.summer ? 1 : 0);
        }
    }
};

TEST_F(SignalRoundTrip, AnHourOfCleanSignal) {
    const RoundTripResult r = Run(OptionsForMinutes(UtcMs(2026, 12, 6, 12, 30), 60));
    ExpectAllMatch(r);
    // Two losses while locking on, then every minute decodes.
    EXPECT_EQ(r.syncLosses, 2u);
    EXPECT_EQ(r.telegrams, 60u);
    EXPECT_EQ(r.valid, 60u);
    // Confirmed from the third telegram on, except while the hour in the window changes.
    EXPECT_GE(r.confirmations.size(), 55u);
}

TEST_F(SignalRoundTrip, InvertedPolarityAndAShiftedSampleGrid) {
    for (const uint8_t polarity : {uint8_t{0}, uint8_t{1}}) {
        for (uint32_t phase : {1u, 13u, 24u}) {
            SetUp();
            SCOPED_TRACE(testing::Message() << "polarity " << int{polarity} << " phase " << phase);
            EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 7, 14, 9, 0), 10);
            options.polarity = polarity;
            options.phaseMs = phase;
            options.firstStampMs = 123457;
            const RoundTripResult r = Run(options);
            ExpectAllMatch(r);
            EXPECT_EQ(r.valid, 10u);
            EXPECT_EQ(r.confirmations.size(), 8u);
        }
    }
}

TEST_F(SignalRoundTrip, AcrossTheStampWrap) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 1, 10, 20, 0), 20);
    options.firstStampMs = UINT32_MAX - 10 * 60 * 1000u;  // wraps in the tenth minute
    const RoundTripResult r = Run(options);
    ExpectAllMatch(r);
    EXPECT_EQ(r.valid, 20u);
    EXPECT_EQ(r.confirmations.size(), 18u);
}

TEST_F(SignalRoundTrip, AcrossBothSwitchesOfLegalTime) {
    for (const int64_t change : {SummerTimeStartUtc(2026), SummerTimeEndUtc(2026)}) {
        SetUp();
        const RoundTripResult r = Run(OptionsForMinutes(change - 90 * kMinuteMs, 150));
        ExpectAllMatch(r);
        EXPECT_EQ(r.valid, 150u);
        bool announced = false, before = false, after = false;
        const bool summerAfter = IsSummerTime(change);
        for (const Confirmation& c : r.confirmations) {
            announced = announced || c.telegram.dstAnnounce != 0;
            if (c.expected.summer == summerAfter) after = true;
            else before = true;
        }
        EXPECT_TRUE(announced);
        EXPECT_TRUE(before);
        EXPECT_TRUE(after);
    }
}

TEST_F(SignalRoundTrip, NoiseNeverConfirmsAWrongTime) {
    EdgeStreamOptions options = OptionsForMinutes(UtcMs(2026, 5, 3, 4, 0), 180);
    options.glitchRate = 0.005;
    options.dropoutRate = 0.002;
    options.flipRate = 0.004;
    options.jitterMs = 8;
    options.seed = 7;
    const RoundTripResult r = Run(options);
    ExpectAllMatch(r);
    EXPECT_LT(r.valid, 180u);       // the noise did get through...
    EXPECT_GT(r.confirmations.size(), 10u);  // ...and reception still works
}

}  // namespace
