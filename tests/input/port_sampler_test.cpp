#include "input/port_sampler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "input/port_devices.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_primitives.h"
#include "tests/support/memory_profile.h"

namespace {

using Calls = std::vector<std::string>;
NotifyWindow const kWindow = reinterpret_cast<NotifyWindow>(0x1234);

class PortSamplerTest : public ::testing::Test {
protected:
    FakePortPrimitives fake;
    FakeMillisecondClock clock{5000};
    SamplerSeams seams{&fake, &clock};
};

TEST_F(PortSamplerTest, NoPortMeansNoTimerAndNothingToClose) {
    ClosePort();
    for (int32_t code : {0, -1, 5, 10, 19, 21}) EXPECT_FALSE(OpenPort(kWindow, code)) << code;
    EXPECT_TRUE(fake.calls.empty());
    fake.openFails = true;
    for (int32_t code : {4, kGamePortCode}) {
        EXPECT_FALSE(OpenPort(kWindow, code));
        ClosePort();
    }
    EXPECT_EQ(fake.calls, (Calls{"open", "joyopen"}));  // no timer, nothing on an invalid handle
    EXPECT_EQ(activePort.load(), 0);
}

TEST_F(PortSamplerTest, EachKindPowersReadsAndReleasesItsOwnWayEvenWithATickInsideTimerStart) {
    // Worst-case preemption: the first tick runs before OpenPort has returned, and
    // must see the new port (GAME->COM1, COM1->LPT1, LPT1->COM1). The fake fails
    // any call of the wrong kind or on a lost handle.
    fake.tickInsideStart = true;
    const std::pair<int32_t, Calls> cases[] = {
        {kGamePortCode, {"joyopen", "timer", "joyread", "joyread", "cancel", "joyclose"}},
        {1, {"open", "dtr1", "timer", "status", "status", "cancel", "dtr0", "close"}},  // never the data lines
        {11, {"open", "write1", "timer", "write1", "lasterror", "write1", "lasterror", "cancel", "write0", "close"}},
        {1, {"open", "dtr1", "timer", "status", "status", "cancel", "dtr0", "close"}},
    };
    for (const auto& [code, calls] : cases) {
        fake.calls.clear();
        ASSERT_TRUE(OpenPort(kWindow, code));
        EXPECT_NE(portHandle.load(), kInvalidDevice);
        fake.Tick();
        ClosePort();
        EXPECT_EQ(fake.calls, calls);
        EXPECT_EQ(activePort.load(), code);  // closing keeps it
    }
}

TEST_F(PortSamplerTest, TheLevelOfParallelAndGamePorts) {
    // Parallel: the outcome of a one-byte write. Game port: button 1 pressed is a mark.
    const struct { int32_t code; bool writeSucceeds; uint32_t lastError, buttons; uint8_t level; } cases[] = {
        {11, false, kErrorNotReady, 0, 0}, {11, false, 0, 0, 0}, {11, true, kErrorNotReady, 0, 1},
        {11, true, 0, 0, 0}, {11, true, 5, 0, 0}, {kGamePortCode, true, 0, kJoyButton1, 0},
        {kGamePortCode, true, 0, 0, 1}, {kGamePortCode, true, 0, 6, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ASSERT_TRUE(OpenPort(kWindow, c.code));
        fake.writeSucceeds = c.writeSucceeds;
        fake.lastErrorValue = c.lastError;
        fake.joystickButtons = c.buttons;
        lastLevel = static_cast<uint8_t>(1 - c.level);  // so the level shows as a post
        fake.posts.clear();
        fake.Tick();
        ASSERT_EQ(fake.posts.size(), 1u);
        EXPECT_EQ(fake.posts[0].level, c.level);
        ClosePort();
    }
}

TEST_F(PortSamplerTest, EachChangeIsPostedOnceWithTheStampOfItsTick) {
    ASSERT_TRUE(OpenPort(kWindow, 1));
    fake.postSucceeds = false;  // a dropped post is not repeated either
    const struct { uint32_t dsr; ModemRead read; bool reopen, posted; } steps[] = {
        {0, ModemRead::Ok, false, false}, {kModemDsrOn, ModemRead::Ok, false, true},
        {kModemDsrOn, ModemRead::Ok, false, false}, {kModemDsrOn, ModemRead::Ok, true, false},  // lastLevel survives
        {0, ModemRead::Failed, false, false},  // unreadable: the level counts as unchanged
        {0, ModemRead::Ok, false, true}, {kModemDsrOn, ModemRead::Ok, false, true},
    };
    for (const auto& step : steps) {
        if (step.reopen) {
            ClosePort();
            ASSERT_TRUE(OpenPort(kWindow, 1));
        }
        clock.Advance(25);
        fake.modemStatus = step.dsr;
        fake.modemResult = step.read;
        const size_t before = fake.posts.size();
        fake.Tick();
        ASSERT_EQ(fake.posts.size(), before + (step.posted ? 1 : 0));
        if (!step.posted) continue;
        EXPECT_EQ(fake.posts.back().level, step.dsr ? 1 : 0);
        EXPECT_EQ(fake.posts.back().stamp, clock.NowMs());
        EXPECT_EQ(fake.posts.back().window, kWindow);
    }
}

TEST_F(PortSamplerTest, AVanishedDeviceOrAJoystickReadErrorStallsUntilReopened) {
    fake.modemStatus = kModemDsrOn;  // both lines read 1 whenever they are read
    for (int32_t code : {3, kGamePortCode}) {
        lastLevel = 0;
        ASSERT_TRUE(OpenPort(kWindow, code));
        fake.modemResult = ModemRead::Gone;
        fake.joystickReadFails = true;
        fake.Tick();
        fake.modemResult = ModemRead::Ok;
        fake.joystickReadFails = false;
        fake.Tick();
        EXPECT_TRUE(fake.posts.empty()) << code;
        ClosePort();  // the device is released all the same, or the fake refuses the next open
        ASSERT_TRUE(OpenPort(kWindow, code));
        fake.Tick();
        EXPECT_EQ(fake.posts.size(), 1u) << code;
        ClosePort();
        fake.posts.clear();
    }
}

TEST_F(PortSamplerTest, TimerStartFailureLeavesTheDeviceOpen) {
    activePort = 3;
    fake.timerStarts = false;
    EXPECT_FALSE(OpenPort(kWindow, 12));
    EXPECT_EQ(activePort.load(), 3);
    EXPECT_TRUE(fake.DeviceOpen());
    ClosePort();
    EXPECT_EQ(fake.calls, (Calls{"open", "write1", "timer", "write0", "close"}));  // receiver on until closed
}

#if GTEST_HAS_DEATH_TEST && !defined(NDEBUG)
TEST_F(PortSamplerTest, OpeningWhileOpenIsACallerError) {
    ASSERT_TRUE(OpenPort(kWindow, 1));
    EXPECT_DEATH(OpenPort(kWindow, 2), "");
}
#endif

TEST(PortDevices, TheProfileNamesTheDevice) {
    MemoryProfile profile;
    profile.ports = {{"COM2", "  ttyUSB0 "}, {"LPT1", "sim"}, {"COM3", ""}};
    EXPECT_EQ(DeviceForPort(2, &profile), "ttyUSB0");
    EXPECT_EQ(DeviceForPort(11, &profile), "SIM");
    EXPECT_EQ(DeviceForPort(3, &profile), DeviceForPort(3, nullptr));  // empty: the default
    EXPECT_TRUE(AnyPortSimulated(&profile));
    EXPECT_FALSE(AnyPortSimulated(nullptr));
    for (int32_t code : {1, 2, 3, 4, 11, 12, 13, 14, 20}) EXPECT_FALSE(DeviceForPort(code, nullptr).empty());
    EXPECT_EQ(EdgeStampFromParam(0xFFFFFFFF80000000ull), INT32_MIN);  // the low word, read signed
}

TEST(PortDevices, WindowsPrefixesOnlyHighComPorts) {
    for (const char* name : {"COM1", "COM9", "LPT1", "COMX1", "\\\\.\\COM12"}) EXPECT_EQ(WindowsDeviceName(name), name);
    EXPECT_EQ(WindowsDeviceName("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(WindowsDeviceName("com255"), "\\\\.\\com255");
}

// The platform's own layer: a file is not a port, whatever the profile says.
TEST(PlatformPorts, AMappedRegularFileIsRefusedAndLeftAlone) {
    const auto path = std::filesystem::temp_directory_path() / ("chronvk-" + std::to_string(std::random_device{}()));
    std::ofstream(path, std::ios::binary) << "notes\n";
    MemoryProfile profile;
    profile.ports = {{"COM1", path.string()}, {"LPT1", path.string()}};
    SamplerSeams seams{nullptr, nullptr, &profile};
    for (int32_t code : {1, 11}) {
        EXPECT_FALSE(OpenPort(nullptr, code)) << code;
        ClosePort();
    }
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "notes\n");
    std::filesystem::remove(path);
}

}  // namespace
