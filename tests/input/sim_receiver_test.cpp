// The simulated receiver through the real sampler: OpenPort, ticks and posts
// as the program runs them, with the millisecond clock driven fast.

#include "input/sim_receiver.h"

#include <gtest/gtest.h>

#include "input/dcf77_signal.h"
#include "input/port_devices.h"
#include "input/port_sampler.h"
#include "reception/dcf_state.h"
#include "reception/edge_decoder.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_primitives.h"
#include "tests/support/memory_profile.h"

namespace {

// 13:03:30 UTC on Sunday 06.12.26: half a minute before a minute mark.
int64_t FixedUtc() { return dcf77::UtcMs(2026, 12, 6, 13, 3, 30); }

class SimReceiverTest : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        SetPortPrimitives(&sim);
        SetSamplerClock(&clock);
        SetPortProfile(&profile);
        for (const char* key : {"COM2", "LPT3", "GAME"}) profile.Set(kPortsSection, key, "SIM");
        lastLevel = 0;
        ownDcfState = TDcfState{};
        dcfPtr = &ownDcfState;
        ResetEdgeDecoderForTest();
    }
    void TearDown() override {
        ClosePort();
        SetPortPrimitives(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
    }

    // Runs the timer for `ms`, handing every post to the decoder as the window would.
    void Run(int64_t ms) {
        for (int64_t t = 0; t < ms; t += 25) {
            clock.Advance(25);
            fake.Tick();
            for (const auto& post : fake.posts) DecodeEdge(post.level, EdgeStampFromParam(post.stamp));
            fake.posts.clear();
        }
    }

    FakePortPrimitives fake;
    // Near the wrap, so the simulated time must survive it too.
    FakeMillisecondClock clock{0xFFFFFFFFu - 100000u};
    SimulatedReceiverPrimitives sim{fake, clock, FixedUtc};
    MemoryProfile profile;
};

TEST_P(SimReceiverTest, FourSimulatedMinutesConfirmTheEncodedTime) {
    ASSERT_TRUE(OpenPort(nullptr, GetParam()));
    EXPECT_EQ(fake.OpenCount(), 0u);  // no real device was touched
    Run(4 * dcf77::kMinuteMs);
    ASSERT_GE(dcfPtr->confirmedCount, 1u);
    // The last minute mark came at 13:07:00 UTC, 14:07 CET.
    const TDcfTelegram& t = dcfPtr->current;
    EXPECT_EQ(t.hour, 14);
    EXPECT_EQ(t.minute, 7);
    EXPECT_EQ(t.weekday, 7);
    EXPECT_EQ(t.day, 6);
    EXPECT_EQ(t.month, 12);
    EXPECT_EQ(t.year, 26);
    EXPECT_EQ(t.summerTime, 0);
    EXPECT_TRUE(fake.violations.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryPortKind, SimReceiverTest, ::testing::Values(2, 13, kGamePortCode));

TEST(SimReceiver, LevelFollowsTheClockFromTheOpeningInstant) {
    FakePortPrimitives real;
    FakeMillisecondClock clock{777};
    SimulatedReceiverPrimitives sim(real, clock, [] { return dcf77::UtcMs(2026, 12, 6, 13, 4, 17); });
    const DeviceHandle h = sim.OpenDevice("SIM", PortKind::Serial);
    ASSERT_EQ(h, SimulatedReceiverPrimitives::kSimHandle);
    // Second 17 of the 13:04 UTC minute carries a 0 (100 ms), second 18 a 1 (200 ms).
    const struct {
        uint32_t after;
        uint8_t level;
    } samples[] = {{0, 0}, {99, 0}, {100, 1}, {999, 1}, {1000, 0}, {1199, 0}, {1200, 1}};
    for (const auto& s : samples) {
        clock.Set(777 + s.after);
        EXPECT_EQ(sim.Level(), s.level) << s.after;
        uint32_t status = 0;
        ASSERT_EQ(sim.ReadModemStatus(h, status), ModemRead::Ok);
        EXPECT_EQ(status, s.level ? kModemDsrOn : 0u);
        EXPECT_TRUE(sim.WriteByte(h, 1));
        EXPECT_EQ(sim.LastError(), s.level ? kErrorNotReady : 0u);
        uint32_t buttons = 0;
        ASSERT_TRUE(sim.ReadJoystickButtons(h, buttons));
        EXPECT_EQ(buttons, s.level ? 0u : kJoyButton1);
    }
    sim.SetDtr(h, true);
    sim.CloseDevice(h);
    EXPECT_TRUE(real.calls.empty());  // nothing reached the real layer

    // Real devices pass through, their last error too.
    real.lastErrorValue = 87;
    const DeviceHandle device = sim.OpenDevice("LPT1", PortKind::Parallel);
    EXPECT_TRUE(sim.WriteByte(device, 1));
    EXPECT_EQ(sim.LastError(), 87u);
    sim.CloseDevice(device);
    EXPECT_TRUE(real.violations.empty());
}

}  // namespace
