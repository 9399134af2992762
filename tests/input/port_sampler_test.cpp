#include "input/port_sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "tests/clock/clock_test_dir.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/memory_port_profile.h"

namespace {

using Calls = std::vector<std::string>;

class PortSamplerTest : public ::testing::Test {
protected:
    FakePortPlatform fake;
    FakeMillisecondClock clock{5000};
    SamplerSeams seams{&fake, &clock};
};

TEST_F(PortSamplerTest, NoPortMeansNoTimerAndNothingToClose) {
    ClosePort();
    for (int32_t code : {0, -1, 5, 10, 19, 21}) EXPECT_FALSE(OpenPort(fake, code)) << code;
    EXPECT_TRUE(fake.calls.empty());
    fake.openFails = true;
    EXPECT_FALSE(OpenPort(fake, 4));
    ClosePort();
    EXPECT_EQ(fake.calls.size(), 1u);  // the open alone: no timer, nothing on a device that is not open
    EXPECT_EQ(ActivePort(), 0);
}

TEST_F(PortSamplerTest, EveryPortPowersReadsAndReleasesInOrderEvenWithATickInsideTimerStart) {
    // Worst-case preemption: the first tick runs before OpenPort has returned
    // and must read the new port. The fake fails any call on a released driver.
    fake.insideStart = SamplerTick;
    for (int32_t code : {kGamePortCode, 1, 11, 1}) {
        fake.calls.clear();
        ASSERT_TRUE(OpenPort(fake, code));
        fake.Tick();
        ClosePort();
        EXPECT_EQ(fake.calls, (Calls{"open", "on", "timer", "read", "read", "cancel", "off", "close"}));
        EXPECT_EQ(ActivePort(), code);  // closing keeps it
    }
}

TEST_F(PortSamplerTest, OpeningWhileOpenClosesTheOldPortFirst) {
    ASSERT_TRUE(OpenPort(fake, 1));
    ASSERT_TRUE(OpenPort(fake, 12));
    EXPECT_EQ(fake.calls, (Calls{"open", "on", "timer", "cancel", "off", "close", "open", "on", "timer"}));
    EXPECT_EQ(ActivePort(), 12);
}

TEST_F(PortSamplerTest, EachChangeIsPostedOnceWithTheStampOfItsTick) {
    ASSERT_TRUE(OpenPort(fake, 1));
    fake.postSucceeds = false;  // a dropped post is not repeated either
    const struct { LineRead line; bool reopen, posted; } steps[] = {
        {LineRead::Low, false, false}, {LineRead::High, false, true}, {LineRead::High, false, false},
        {LineRead::High, true, false},  // the last level survives closing and opening
        {LineRead::Unchanged, false, false}, {LineRead::Low, false, true}, {LineRead::Unchanged, false, false},
        {LineRead::High, false, true},
    };
    for (const auto& step : steps) {
        if (step.reopen) {
            ClosePort();
            ASSERT_TRUE(OpenPort(fake, 1));
        }
        clock.Advance(25);
        fake.line = step.line;
        const size_t before = fake.posts.size();
        fake.Tick();
        ASSERT_EQ(fake.posts.size(), before + (step.posted ? 1 : 0));
        if (!step.posted) continue;
        EXPECT_EQ(fake.posts.back().level, step.line == LineRead::High ? 1 : 0);
        EXPECT_EQ(fake.posts.back().stamp, clock.NowMs());
    }
}

TEST_F(PortSamplerTest, AStalledLineStaysSilentUntilReopened) {
    ASSERT_TRUE(OpenPort(fake, kGamePortCode));
    fake.line = LineRead::Stalled;
    fake.Tick();
    fake.line = LineRead::High;
    fake.Tick();
    EXPECT_TRUE(fake.posts.empty());
    EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), "read"), 1);
    ClosePort();  // the device is released all the same, or the fake refuses the next open
    ASSERT_TRUE(OpenPort(fake, kGamePortCode));
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);
}

TEST_F(PortSamplerTest, TimerStartFailureLeavesTheReceiverOnUntilClosed) {
    SetActivePort(3);
    fake.timerStarts = false;
    EXPECT_FALSE(OpenPort(fake, 12));
    EXPECT_EQ(ActivePort(), 3);
    ClosePort();
    EXPECT_EQ(fake.calls, (Calls{"open", "on", "timer", "off", "close"}));
}

// Event mode: the waiting thread reads the line once, then posts each change
// at its own instant; a driver that refuses waits is sampled instead, which is
// said once, and a stalled one stays silent. Closing interrupts the wait first.
TEST(PortSamplerEvents, ChangesComeAtTheirInstantsAndARefusalFallsBackToTicks) {
    FakePortPlatform fake;
    FakeMachineClocks clocks{5'000'000'000};
    MemoryPortProfile profile;
    profile.ports = {{"COM1", "port1"}};
    SamplerSeams seams{&fake, &clocks, &profile, &clocks};
    SetPortEvents(true);
    fake.line = LineRead::High;
    ASSERT_TRUE(OpenPort(fake, 1));
    for (const int64_t at : {4'970'000'000, 4'980'500'000, 4'990'000'000}) fake.wait.Add(at == 4'970'000'000, at);  // 1, 0, 0
    EXPECT_TRUE(fake.Wait());
    fake.wait = {};
    EXPECT_TRUE(fake.Wait());  // woken without a change
    ASSERT_EQ(fake.posts.size(), 2u);
    // The first reading has no instant and the stamp of now; a repeated level is no edge.
    EXPECT_EQ(std::tuple(fake.posts[0].level, fake.posts[0].stamp, fake.posts[0].instant), std::tuple(1, 5000u, -1));
    EXPECT_EQ(std::tuple(fake.posts[1].level, fake.posts[1].stamp, fake.posts[1].instant), std::tuple(0, 4980u, 4'980'500'000));

    for (const auto result : {LineWait::Result::Refused, LineWait::Result::Refused, LineWait::Result::Stalled}) {
        fake.wait.result = result;
        EXPECT_FALSE(fake.Wait());
        fake.line = fake.posts.back().level == 1 ? LineRead::Low : LineRead::High;
        fake.Tick();
        ClosePort();
        ASSERT_TRUE(OpenPort(fake, 1));
    }
    EXPECT_EQ(fake.posts.size(), 4u);  // the two ticks after refusals; none once stalled
    EXPECT_EQ(fake.notices, std::vector<std::string>{"COM1 (port1): the port reports no changes of its line; sampling it every 25 ms instead"});
    const Calls closing(fake.calls.end() - 8, fake.calls.end() - 4);
    EXPECT_EQ(closing, (Calls{"wait", "interrupt", "cancel", "off"}));
}

TEST(PortLevels, AParallelPortReadsHighOnlyWhenTheWriteSaysNotReady) {
    const struct { bool written; uint32_t lastError; LineRead level; } cases[] = {
        {true, kErrorNotReady, LineRead::High}, {true, 0, LineRead::Low}, {true, 5, LineRead::Low},
        {false, kErrorNotReady, LineRead::Low}, {false, 0, LineRead::Low},
    };
    for (const auto& c : cases) EXPECT_EQ(ParallelLevel(c.written, c.lastError), c.level) << c.written << c.lastError;
}

TEST(PortTable, TheProfileNamesTheDevice) {
    for (const PortEntry& port : PortTable()) EXPECT_FALSE(DeviceForPort(port.code, nullptr).empty());
    MemoryPortProfile profile;
    profile.ports = {{"COM2", "  ttyUSB0 "}, {"LPT1", "sim"}, {"COM3", ""}};
    EXPECT_EQ(DeviceForPort(2, &profile), "ttyUSB0");
    EXPECT_EQ(DeviceForPort(11, &profile), "SIM");
    EXPECT_EQ(DeviceForPort(3, &profile), DeviceForPort(3, nullptr));  // empty: the default
    EXPECT_EQ(EdgeStampFromParam(0xFFFFFFFF80000000ull), INT32_MIN);  // the low word, read signed
}

TEST(PortTable, WindowsPrefixesOnlyHighComPorts) {
    for (const char* name : {"COM1", "COM9", "LPT1", "COMX1", "\\\\.\\COM12"}) EXPECT_EQ(WindowsDeviceName(name), name);
    EXPECT_EQ(WindowsDeviceName("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(WindowsDeviceName("com255"), "\\\\.\\com255");
}

// The machine's own drivers: a file is not a port, whatever the profile says.
TEST(MachinePorts, AMappedRegularFileIsRefusedAndLeftAlone) {
    const ScratchDirectory dir;
    const std::string path = dir.File("notes.txt");
    std::ofstream(path) << "notes\n";
    MemoryPortProfile profile;
    profile.ports = {{"COM1", path}, {"LPT1", path}};
    SamplerSeams seams{nullptr, nullptr, &profile};
    FakePortPlatform unused;
    for (int32_t code : {1, 11}) EXPECT_FALSE(OpenPort(unused, code)) << code;
    EXPECT_EQ(ReadWholeFile(path), "notes\n");
}

}  // namespace
