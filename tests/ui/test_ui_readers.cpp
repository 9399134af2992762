#include <gtest/gtest.h>

#include "tests/support/clock_fakes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_port_profile.h"
#include "ui/settings.h"
#include "ui/standard_seams.h"

TEST(UiReaders, LeadingIntegerSaturatesAndProfileIntegersReadAsWindowsDoes) {
    const struct { const char* text; int32_t leading, profile; } cases[] = {
        {"", 0, 0}, {"+1000", 1000, 1000}, {" -5x", -5, -5}, {"0000000000000000042", 42, 42},
        {"99999999999999", INT32_MAX, 276447231}, {"-99999999999999", INT32_MIN, -276447231},
        {"0x10", 0, 16}, {"0b101", 0, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LeadingInteger(c.text), c.leading) << c.text;
        EXPECT_EQ(ProfileIntFromText(c.text), c.profile) << c.text;
    }
}

// A leftover SIM mapping of another port must not make a real receiver's
// settings pretend; the simulated receiver in use must never move the clock.
TEST(PortFollowingClock, DryExactlyWhileThePortInUseIsSimulated) {
    FakePortPlatform ports;
    FakeMillisecondClock milliseconds{5000};
    MemoryPortProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    const SamplerSeams seams{&ports, &milliseconds, &profile};
    ScriptedSystemClock real;
    PortFollowingClock clock(&real);
    const struct { int32_t port; bool opens; std::size_t realRequests; } steps[] = {
        {2, true, 1}, {1, true, 1}, {3, false, 1}, {2, true, 2},
    };
    for (const auto& step : steps) {
        ports.openFails = !step.opens;
        EXPECT_EQ(OpenPort(ports, step.port), step.opens) << step.port;
        clock.SetSystemClock(SystemTime{2026, 12, 0, 8, 12, 0, 0, 0});
        EXPECT_EQ(real.requests.size(), step.realRequests) << step.port;
    }
    PortFollowingClock never(nullptr);
    never.SetSystemClock(SystemTime{2026, 12, 0, 8, 12, 0, 0, 0});
    EXPECT_EQ(real.requests.size(), 2u);
}
