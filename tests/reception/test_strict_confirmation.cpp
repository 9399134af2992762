// Strict confirmation against the two ways the ordinary rule sets a wrong time
// from a noisy signal, and against telegrams no transmitter sends.
#include <gtest/gtest.h>

#include "reception/strict_confirmation.h"
#include "tests/reception/reception_fixture.h"

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

// Without the mark of second 0 the mark of second 1 ends the minute gap and
// is taken for the minute mark: the default rule sets the clock a second late.
TEST_P(StrictConfirmation, MissingMinuteMarkIsTakenForASecondLate) {
    const int64_t t = FillWindow();
    SendMinute(MinuteAt(14, 3), t);
    Mark(t + 61000, 100);  // second 1 of 14:04; second 0 never came
    EXPECT_EQ(state().telegramCount, 4u);  // the synchronising minute counts too
    EXPECT_EQ(state().setRequest, GetParam() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(DefaultAndStrict, StrictConfirmation, ::testing::Bool());

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

}  // namespace
