// The simulated receiver through the real sampler: OpenPort, ticks or waits
// and posts as the program runs them, with the clocks driven fast.

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
int64_t FixedUtc() { return dcf77::UtcMs(2026, 12, 6, 13, 3, 30) * 1'000'000; }

TEST(SimReceiver, FourSimulatedMinutesConfirmTheEncodedTimeOnEveryPortKind) {
    MemoryPortProfile profile;
    profile.ports = {{"COM2", "SIM"}, {"LPT3", "SIM"}, {"GAME", "SIM"}};
    for (const bool events : {false, true}) {
        for (int32_t code : {2, 13, kGamePortCode}) {
            SCOPED_TRACE(testing::Message() << code << (events ? " in event mode" : ""));
            FakePortPlatform fake;
            // The simulated time must survive the wrap of the stamps.
            FakeMachineClocks clock{(0xFFFFFFFFll - 100000) * 1'000'000 + 400'000};
            SamplerSeams seams{&fake, &clock, &profile, &clock};
            SetSimulatedUtc(FixedUtc);
            SetPortEvents(events);
            ResetReception();

            ASSERT_TRUE(OpenPort(fake, code));
            const int64_t end = clock.ns + 4 * dcf77::kMinuteMs * 1'000'000;
            while (clock.ns < end) {
                if (events) {
                    ASSERT_TRUE(fake.Wait());
                } else {
                    clock.ns += 25'000'000;
                    fake.Tick();
                }
                for (const auto& post : fake.posts) {
                    DecodeEdge(post.level, EdgeStampFromParam(post.stamp));
                    if (post.instant < 0) continue;
                    // Each edge at its exact instant: where the signal changes.
                    const int64_t utcNs = FixedUtc() + post.instant - (0xFFFFFFFFll - 100000) * 1'000'000 - 400'000;
                    EXPECT_EQ(utcNs % 1'000'000, 0);
                    EXPECT_NE(dcf77::LineLevel(utcNs / 1'000'000 - 1, 0), post.level);
                    EXPECT_EQ(dcf77::LineLevel(utcNs / 1'000'000, 0), post.level);
                    EXPECT_EQ(post.stamp, static_cast<uint32_t>(post.instant / 1'000'000));
                }
                fake.posts.clear();
            }
            ClosePort();
            // No real device touched.
            EXPECT_EQ(fake.calls, (std::vector<std::string>{events ? "waiter" : "timer", "cancel"}));
            EXPECT_GE(dcfPtr->confirmedCount, 1u);
            // The last minute mark came at 13:07:00 UTC, 14:07 CET on Sunday 06.12.26.
            const TDcfTelegram& t = dcfPtr->current;
            EXPECT_EQ((std::array<int, 7>{t.hour, t.minute, t.weekday, t.day, t.month, t.year, t.summerTime}),
                      (std::array<int, 7>{14, 7, 7, 6, 12, 26, 0}));
        }
    }
}

}  // namespace
