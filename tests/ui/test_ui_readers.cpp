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
    FakeMillisecondClock milliseconds;
    MemoryPortProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    const SamplerSeams seams{&ports, &milliseconds, &profile};
    ScriptedSystemClock real;
    PortFollowingClock clock(&real), never(nullptr);
    // COM2 real, COM1 simulated, COM3 fails to open (COM1's edges may still come), COM2 again.
    for (const int32_t port : {2, 1, 3, 2}) {
        ports.openFails = port == 3;
        OpenPort(ports, port);
        for (PortFollowingClock* c : {&clock, &never}) c->SetSystemClock(SystemTime{2026, 12, 0, 8, 12, 0, 0, 0});
    }
    EXPECT_EQ(real.requests.size(), 2u);
}
