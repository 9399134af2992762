// Robust reception against the signals that mislead the other rules: heavy
// noise, the changes of legal time, a leap second, a sender that jumps or
// repeats a minute, a carrier without marks, interference locked to the
// minute. Whatever the signal does, the clock never gets a wrong time.
#include <gtest/gtest.h>

#include "reception/display_texts.h"
#include "reception/robust_reception.h"
#include "tests/reception/reception_fixture.h"

namespace {

using dcf77::kMinuteMs;
using dcf77::UtcMs;

TEST(RobustReception, NeverAWrongTimeWhateverTheSignalDoes) {
    const int64_t evening = UtcMs(2026, 12, 6, 16, 0);  // 17:00, an hour the interference leaves right
    const struct {
        const char* what;
        int64_t start;
        int minutes;
        double flips, missing, glitches;
        int64_t jumpBy, stuckFor, leap;
        const char* interference;
        int atLeastRight, firstWithin;
        bool lockedAtEnd = true;  // a sender that jumped has the lock dropped, not bent
    } cases[] = {
        {"10 % flips, 5 % missing, glitches, 30 ms jitter", evening, 60, 0.1, 0.05, 0.05, 0, 0, 0, "none", 35, 20},
        {"the summer change in noise", UtcMs(2026, 3, 29, 0, 30), 60, 0.02, 0.01, 0, 0, 0, 0, "none", 50, 8},
        {"the winter change in noise", UtcMs(2026, 10, 25, 0, 30), 60, 0.02, 0.01, 0, 0, 0, 0, "none", 50, 8},
        {"a leap second", UtcMs(2026, 12, 31, 23, 30), 60, 0.02, 0.01, 0, 0, 0, UtcMs(2027, 1, 1), "none", 50, 8},
        {"a sender an hour ahead from 17:30", evening, 60, 0.01, 0, 0, 60, 0, 0, "none", 20, 8, false},
        {"a sender a day ahead from 17:30", evening, 60, 0.01, 0, 0, 1440, 0, 0, "none", 20, 8, false},
        {"a sender that sends 17:30 twice", evening, 60, 0.01, 0, 0, -1, 0, 0, "none", 20, 8, false},
        {"the carrier without marks for 10 minutes", evening, 60, 0.01, 0, 0, 0, 10, 0, "none", 30, 8},
        {"hour bits 1 and 2 long: +3 h at 20:00", evening, 240, 0.002, 0, 0, 0, 0, 0, "long-marks:29,30", 60, 8, false},
    };
    for (const auto& c : cases) {
        dcf77::EdgeStreamOptions options = dcf77::OptionsForMinutes(c.start, c.minutes);
        options.flipRate = c.flips;
        options.dropoutRate = c.missing;
        options.glitchRate = c.glitches;
        options.jitterMs = c.glitches > 0 ? 60 : 3;
        options.leapSecondUtcMs = c.leap;
        options.jumpAtUtcMs = c.jumpBy ? c.start + 30 * kMinuteMs : 0;
        options.jumpByMs = c.jumpBy * kMinuteMs;
        options.stuckFromUtcMs = c.start + 30 * kMinuteMs;
        options.stuckForMs = c.stuckFor * kMinuteMs;
        ASSERT_TRUE(dcf77::ParseInterference(c.interference, options.interference));
        robustReception = true;
        const Outcome outcome = ReplayJudged(options);
        EXPECT_EQ(outcome.wrong, 0) << c.what;
        EXPECT_GE(outcome.right, c.atLeastRight) << c.what;
        EXPECT_TRUE(outcome.firstRightMinute >= 0 && outcome.firstRightMinute <= c.firstWithin) << c.what;
        EXPECT_EQ(robust::CurrentStatus().phase == robust::Phase::Locked, c.lockedAtEnd) << c.what;
        BuildStatusLines(*dcfPtr);  // the decoded time, and how sure it is
        EXPECT_TRUE(telegramLine.view().ends_with(" %")) << telegramLine.view();
        EXPECT_EQ(telegramLine.view().find("komplett: fest") != std::string_view::npos, c.lockedAtEnd) << c.what;
    }
    robustReception = false;
}

}  // namespace
