// The simulated receiver through the real sampler: OpenPort, ticks and posts
// as the program runs them, with the millisecond clock driven fast.

#include "input/sim_receiver.h"

#include <gtest/gtest.h>

#include <array>

#include "input/dcf77_signal.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_port_profile.h"

namespace {

// 13:03:30 UTC on Sunday 06.12.26: half a minute before a minute mark.
int64_t FixedUtc() { return dcf77::UtcMs(2026, 12, 6, 13, 3, 30); }

TEST(SimReceiver, FourSimulatedMinutesConfirmTheEncodedTimeOnEveryPortKind) {
    MemoryPortProfile profile;
    profile.ports = {{"COM2", "SIM"}, {"LPT3", "SIM"}, {"GAME", "SIM"}};
    for (int32_t code : {2, 13, kGamePortCode}) {
        SCOPED_TRACE(code);
        FakePortPlatform fake;
        FakeMillisecondClock clock{0xFFFFFFFFu - 100000u};  // the simulated time must survive the wrap
        SamplerSeams seams{&fake, &clock, &profile};
        SetSimulatedUtc(FixedUtc);
        ResetReception();

        ASSERT_TRUE(OpenPort(fake, code));
        for (int64_t t = 0; t < 4 * dcf77::kMinuteMs; t += 25) {
            clock.Advance(25);
            fake.Tick();
            for (const auto& post : fake.posts) DecodeEdge(post.level, EdgeStampFromParam(post.stamp));
            fake.posts.clear();
        }
        ClosePort();
        EXPECT_EQ(fake.calls, (std::vector<std::string>{"timer", "cancel"}));  // no real device touched
        EXPECT_GE(dcfPtr->confirmedCount, 1u);
        // The last minute mark came at 13:07:00 UTC, 14:07 CET on Sunday 06.12.26.
        const TDcfTelegram& t = dcfPtr->current;
        EXPECT_EQ((std::array<int, 7>{t.hour, t.minute, t.weekday, t.day, t.month, t.year, t.summerTime}),
                  (std::array<int, 7>{14, 7, 7, 6, 12, 26, 0}));
    }
}

}  // namespace
