// Strict confirmation against the ways the ordinary rule sets a wrong time from
// a noisy or disturbed signal, and against telegrams no transmitter sends.
#include <gtest/gtest.h>

#include "input/dcf77_signal.h"
#include "reception/strict_confirmation.h"
#include "tests/reception/reception_fixture.h"
#include "timebase/civil_days.h"

namespace {

class StrictConfirmation : public ReceptionTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        ReceptionTest::SetUp();
        strictConfirmation = GetParam();
    }
    void TearDown() override { strictConfirmation = false; }

    // 14:01 and 14:02 fill the window; `third` is the telegram sent next.
    int64_t FillWindow() {
        int64_t t = Synchronise();
        SendMinute(MinuteAt(14, 1), t);
        SendMinute(MinuteAt(14, 2), t += 60000);
        return t + 60000;
    }
};

// Two flipped minute bits keep the parity: 14:03 arrives as 14:01, a minute
// the window has seen, and the default rule sets the clock two minutes back.
TEST_P(StrictConfirmation, RepeatedMinuteFromTwoFlippedBits) {
    std::string third = MinuteAt(14, 3);
    third[22] = '0';  // minute 3 (bits 21, 22) read as 1 (bit 21)
    third[28] = MinuteAt(14, 1)[28];
    const int64_t t = FillWindow();
    SendMinute(third, t);
    MinuteMark(t + 60000);
    EXPECT_EQ(state().setRequest, GetParam() ? 0 : 1);
    EXPECT_EQ(state().telegramsStored, GetParam() ? 0 : 3);
}

INSTANTIATE_TEST_SUITE_P(DefaultAndStrict, StrictConfirmation, ::testing::Bool());

// Interference in step with the signal, as a machine switching with the minute
// makes it. Each kind sets the default rule wrong; strict mode must not be.
TEST_F(ReceptionTest, StructuredInterferenceNeverSetsAWrongTimeInStrictMode) {
    const struct { const char* what; int64_t startUtc; int minutes; } cases[] = {
        {"late-mark", dcf77::UtcMs(2026, 12, 6, 0, 0), 60},
        {"glitch", dcf77::UtcMs(2026, 12, 6, 23, 0), 60},  // 7 December: date parity 1, as the glitch makes it
        {"summer-bits", dcf77::UtcMs(2026, 12, 6, 0, 0), 20},
        {"long-marks:29,30", dcf77::UtcMs(2026, 12, 6, 16, 0), 240},  // +3 h at 20:00
        {"long-marks:25,26", dcf77::UtcMs(2026, 12, 5, 23, 28), 45},  // +30 min at 01:00
    };
    for (const auto& c : cases) {
        dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(c.startUtc, c.minutes);
        options.jitterMs = 3;
        ASSERT_TRUE(dcf77::ParseInterference(c.what, options.interference));
        Outcome outcome[2];
        for (const bool strict : {false, true}) {
            strictConfirmation = strict;
            outcome[strict] = ReplayJudged(options);
        }
        strictConfirmation = false;
        EXPECT_GT(outcome[false].wrong, 0) << c.what << ": the default rule is not misled";
        EXPECT_EQ(outcome[true].wrong, 0) << c.what;
        EXPECT_EQ(outcome[true].right > 0, options.interference.kind != dcf77::Interference::Kind::SummerBitsSwapped)
            << c.what;
    }
}

// The time line: only a whole day of chains agreeing among themselves, or a
// pause in the edges, makes strict mode give up a confirmed time.
TEST(TimeLine, GivesWayOnlyToADayOfAgreementOrAPause) {
    constexpr uint32_t kHour = 3600000;
    const struct { int64_t minute; uint32_t markMs; uint32_t pauses; bool confirmed; } chain[] = {
        {1000, 0, 0, true},                     // the first confirmed time
        {1000 + 60, kHour, 0, true},            // carried on
        {1000 + 120 + 180, 2 * kHour, 0, false},  // three hours off
        {1000 + 180 + 240, 3 * kHour, 0, false},  // four: the other chains disagree among themselves
        {1000 + 240 + 180, 4 * kHour, 0, false},
        {1000 + 1680 + 180, 28 * kHour - 1, 0, false},
        {1000 + 1680 + 180, 28 * kHour, 0, true},  // a whole day of +3 h: the line was wrong
        {5, 28 * kHour + 60000, 1, true},          // across a pause nothing is carried
    };
    strict::Reset();
    for (const auto& c : chain) {
        EXPECT_EQ(strict::OnTimeLine({true, c.minute, 0, c.markMs, c.pauses}), c.confirmed) << c.markMs;
    }
    strict::Reset();
}

// Parity-correct telegrams that cannot be real count as malformed in strict
// mode: each would otherwise hold a place in the window.
TEST_F(ReceptionTest, StrictModeRefusesTelegramsThatCannotBeReal) {
    struct Case { const char* what; int first, width, value, parity; };
    const Case cases[] = {
        {"both summer and winter time", 17, 1, 1, -1},
        {"neither summer nor winter time", 18, 1, 0, -1},
        {"minute units above 9", 21, 4, 12, 28},
        {"hour 24", 29, 6, 24, 35},
        {"31 June", 36, 6, 31, 58},
        {"weekday 0", 42, 3, 0, 58},
        {"weekday not the date's", 42, 3, 1, 58},
        {"month 13", 45, 5, 13, 58},
    };
    for (const Case& c : cases) {
        SetUp();
        strictConfirmation = true;
        std::string bits = MinuteAt(14, 5);
        if (c.first == 36) SetField(bits, 45, 5, 6, 58);  // June
        SetField(bits, c.first, c.width, c.value, c.parity);
        const int64_t t = Synchronise();
        SendMinute(bits, t);
        MinuteMark(t + 60000);
        EXPECT_EQ(state().checkFlags, 31) << c.what;
        EXPECT_EQ(state().validCount, 0u) << c.what;
        EXPECT_EQ(state().telegramsStored, 0) << c.what;
    }
    strictConfirmation = false;
}

// The summer-time bit must be the one the EU rule gives; in the hour that
// repeats in autumn, A1 (sent only before the change) tells the two apart.
TEST_F(ReceptionTest, StrictModeChecksSummerTimeAgainstTheDate) {
    const struct { int month, day, hour; bool summer, announced, sound; } cases[] = {
        {12, 6, 14, false, false, true}, {12, 6, 14, true, false, false}, {7, 14, 11, true, false, true},
        {7, 14, 11, false, false, false}, {3, 29, 2, false, true, false}, {3, 29, 2, true, true, false},
        {3, 29, 1, false, true, true}, {3, 29, 3, true, false, true},  // 02:30 on 29 March does not exist
        {10, 25, 2, true, true, true}, {10, 25, 2, true, false, false},  // 02:30 on 25 October twice:
        {10, 25, 2, false, false, true}, {10, 25, 2, false, true, false},  // A1 only before the change
    };
    for (const auto& c : cases) {
        const dcf77::LegalTime time{2026, c.month, c.day, WeekdayOfDays(::DaysFromCivil(2026, c.month, c.day)),
                                    c.hour, 30, 0, c.summer};
        ClearBits();
        for (int i = 0; i < 59; ++i) AppendBit(static_cast<uint8_t>(dcf77::TelegramBit(dcf77::EncodeTelegram(time, c.announced), i)));
        EXPECT_EQ(strict::SoundTelegram(), c.sound) << c.month << "-" << c.day << " " << c.hour << ":30 " << c.summer;
    }
}

}  // namespace
