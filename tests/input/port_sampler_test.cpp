#include "input/port_sampler.h"

#include <gtest/gtest.h>

#include "input/port_devices.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_port_primitives.h"
#include "tests/support/memory_profile.h"

namespace {

NotifyWindow const kWindow = reinterpret_cast<NotifyWindow>(0x1234);

class PortSamplerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPortPrimitives(&fake);
        SetSamplerClock(&clock);
        SetPortProfile(&profile);
        lastLevel = 0;
        activePort = 0;
    }
    void TearDown() override {
        ClosePort();
        EXPECT_TRUE(fake.violations.empty()) << fake.violations.front();
        SetPortPrimitives(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
    }
    // Opens with the calls of the opening itself forgotten.
    void OpenFresh(int32_t code) {
        ASSERT_TRUE(OpenPort(kWindow, code));
        fake.calls.clear();
    }

    FakePortPrimitives fake;
    FakeMillisecondClock clock{5000};
    MemoryProfile profile;
};

TEST_F(PortSamplerTest, CodesOtherThanAPortButtonOpenNothing) {
    for (int32_t code : {0, -1, 5, 9, 10, 15, 19, 21, 1000}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(OpenPort(kWindow, code));
        EXPECT_EQ(portHandle.load(), kInvalidDevice);
    }
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(activePort.load(), 0);
}

TEST_F(PortSamplerTest, SerialRaisesDtrAtOpenAndLowersItAtClose) {
    ASSERT_TRUE(OpenPort(kWindow, 2));
    EXPECT_EQ(activePort.load(), 2);
    EXPECT_NE(portHandle.load(), kInvalidDevice);
    EXPECT_EQ(notifyWindow.load(), kWindow);
    for (int i = 0; i < 5; ++i) fake.Tick();
    ClosePort();

    std::vector<std::string> sequence;
    for (const auto& c : fake.calls) sequence.push_back(c.what + (c.what == "dtr" ? std::to_string(c.value) : ""));
    const std::vector<std::string> expected = {"open:" + DeviceForPort(2, nullptr), "dtr1", "timer",
                                               "status", "status", "status", "status", "status",
                                               "cancel", "dtr0", "close"};
    EXPECT_EQ(sequence, expected);  // nothing on the data lines
    EXPECT_EQ(fake.OpenCount(), 0u);
    EXPECT_EQ(portHandle.load(), kInvalidDevice);
    EXPECT_EQ(notifyWindow.load(), nullptr);
    EXPECT_EQ(activePort.load(), 2);  // closing keeps it
}

TEST_F(PortSamplerTest, ParallelWritesOneAtOpenOnePerTickAndZeroAtClose) {
    ASSERT_TRUE(OpenPort(kWindow, 12));
    for (int i = 0; i < 3; ++i) fake.Tick();
    ClosePort();
    EXPECT_EQ(fake.Writes(), (std::vector<int>{1, 1, 1, 1, 0}));
    EXPECT_TRUE(fake.CallsNamed("dtr").empty());
    EXPECT_EQ(fake.OpenCount(), 0u);
}

TEST_F(PortSamplerTest, ParallelLevelIsTheOutcomeOfTheWrite) {
    struct Case {
        bool writeSucceeds;
        uint32_t lastError;
        uint8_t level;
    } const cases[] = {
        {false, kErrorNotReady, 0}, {false, 0, 0}, {true, kErrorNotReady, 1}, {true, 0, 0}, {true, 5, 0},
    };
    OpenFresh(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.writeSucceeds << " " << c.lastError);
        fake.writeSucceeds = c.writeSucceeds;
        fake.lastErrorValue = c.lastError;
        lastLevel = static_cast<uint8_t>(1 - c.level);  // so the level shows as a post
        fake.posts.clear();
        fake.Tick();
        ASSERT_EQ(fake.posts.size(), 1u);
        EXPECT_EQ(fake.posts[0].level, c.level);
    }
}

TEST_F(PortSamplerTest, OnlyChangesArePostedWithTheStampOfTheirTick) {
    OpenFresh(1);
    const struct {
        uint32_t dsr;
        bool posted;
    } steps[] = {{0, false}, {0, false}, {kModemDsrOn, true}, {kModemDsrOn, false}, {0, true}, {kModemDsrOn, true}};
    for (const auto& step : steps) {
        clock.Advance(25);
        fake.modemStatus = step.dsr;
        const size_t before = fake.posts.size();
        fake.Tick();
        ASSERT_EQ(fake.posts.size(), before + (step.posted ? 1 : 0));
        if (step.posted) {
            EXPECT_EQ(fake.posts.back().level, step.dsr ? 1 : 0);
            EXPECT_EQ(fake.posts.back().stamp, clock.NowMs());
            EXPECT_EQ(fake.posts.back().window, kWindow);
        }
        EXPECT_EQ(lastLevel.load(), step.dsr ? 1 : 0);
    }
}

TEST_F(PortSamplerTest, AFailedPostIsNotRepeated) {
    OpenFresh(1);
    fake.postSucceeds = false;
    fake.modemStatus = kModemDsrOn;
    fake.Tick();
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);
    EXPECT_EQ(lastLevel.load(), 1);
}

TEST_F(PortSamplerTest, UnreadableModemStatusKeepsTheLevel) {
    OpenFresh(3);
    fake.modemStatus = kModemDsrOn;
    fake.modemResult = ModemRead::Failed;
    fake.Tick();
    EXPECT_TRUE(fake.posts.empty());
    EXPECT_EQ(lastLevel.load(), 0);
    fake.modemResult = ModemRead::Ok;
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);
}

TEST_F(PortSamplerTest, AVanishedSerialDeviceStallsUntilReopened) {
    OpenFresh(3);
    fake.modemResult = ModemRead::Gone;
    fake.Tick();
    EXPECT_EQ(portHandle.load(), kInvalidDevice);
    fake.modemResult = ModemRead::Ok;
    fake.modemStatus = kModemDsrOn;
    fake.Tick();
    EXPECT_TRUE(fake.posts.empty());
    EXPECT_EQ(fake.CallsNamed("status").size(), 1u);
    ClosePort();
    EXPECT_EQ(fake.OpenCount(), 0u);  // the descriptor is released all the same
    ASSERT_TRUE(OpenPort(kWindow, 3));
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);
}

TEST_F(PortSamplerTest, LastLevelSurvivesCloseAndOpen) {
    OpenFresh(1);
    fake.modemStatus = kModemDsrOn;
    fake.Tick();
    ASSERT_EQ(fake.posts.size(), 1u);
    ClosePort();
    EXPECT_EQ(lastLevel.load(), 1);
    ASSERT_TRUE(OpenPort(kWindow, 1));
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);  // the line rests at the same level
}

TEST_F(PortSamplerTest, JoystickButtonOneIsTheLine) {
    OpenFresh(kGamePortCode);
    EXPECT_EQ(portHandle.load(), kGamePortMarker);
    fake.joystickButtons = kJoyButton1;  // pressed
    lastLevel = 1;
    fake.Tick();
    fake.joystickButtons = 0;  // released
    fake.Tick();
    ASSERT_EQ(fake.posts.size(), 2u);
    EXPECT_EQ(fake.posts[0].level, 0);
    EXPECT_EQ(fake.posts[1].level, 1);
}

TEST_F(PortSamplerTest, AJoystickReadErrorStallsSilentlyUntilReopened) {
    OpenFresh(kGamePortCode);
    fake.joystickReadFails = true;
    fake.Tick();
    EXPECT_EQ(portHandle.load(), kInvalidDevice);
    fake.joystickReadFails = false;
    fake.joystickButtons = 0;
    for (int i = 0; i < 3; ++i) fake.Tick();
    EXPECT_TRUE(fake.posts.empty());
    EXPECT_EQ(fake.CallsNamed("joyread").size(), 1u);
    EXPECT_EQ(lastLevel.load(), 0);
    ClosePort();
    EXPECT_EQ(fake.OpenCount(), 0u);
    ASSERT_TRUE(OpenPort(kWindow, kGamePortCode));
    fake.Tick();
    EXPECT_EQ(fake.posts.size(), 1u);
}

TEST_F(PortSamplerTest, NoJoystickMeansNoPort) {
    fake.joystickPresent = false;
    EXPECT_FALSE(OpenPort(kWindow, kGamePortCode));
    EXPECT_TRUE(fake.CallsNamed("timer").empty());
    EXPECT_EQ(portHandle.load(), kInvalidDevice);
}

TEST_F(PortSamplerTest, ClosingWhatIsClosedCallsNothing) {
    ClosePort();
    fake.missingDevices.insert(DeviceForPort(4, nullptr));
    EXPECT_FALSE(OpenPort(kWindow, 4));
    ClosePort();
    ClosePort();
    ASSERT_EQ(fake.calls.size(), 1u);  // only the failed open
    EXPECT_EQ(activePort.load(), 0);
}

TEST_F(PortSamplerTest, TimerStartFailureLeavesTheDeviceOpen) {
    activePort = 3;
    fake.timerStarts = false;
    EXPECT_FALSE(OpenPort(kWindow, 12));
    EXPECT_EQ(activePort.load(), 3);
    EXPECT_EQ(fake.OpenCount(), 1u);
    EXPECT_EQ(fake.Writes(), std::vector<int>{1});  // receiver on
    ClosePort();
    EXPECT_EQ(fake.Writes(), (std::vector<int>{1, 0}));
    EXPECT_EQ(fake.OpenCount(), 0u);
    EXPECT_TRUE(fake.CallsNamed("cancel").empty());
}

TEST_F(PortSamplerTest, ATickInsideTimerStartSeesTheNewPort) {
    // Worst-case preemption: the first tick runs before OpenPort has returned.
    fake.tickInsideStart = true;
    const int32_t switches[][2] = {{kGamePortCode, 1}, {11, 1}, {1, 11}, {kGamePortCode, 14}, {12, kGamePortCode}};
    for (const auto& change : switches) {
        SCOPED_TRACE(testing::Message() << change[0] << " -> " << change[1]);
        ASSERT_TRUE(OpenPort(kWindow, change[0]));
        fake.Tick();
        ClosePort();
        fake.calls.clear();
        ASSERT_TRUE(OpenPort(kWindow, change[1]));
        // The tick inside StartTimer used the new device with the new kind.
        const char* expectedRead = change[1] == kGamePortCode ? "joyread" : change[1] < 10 ? "status" : "write";
        EXPECT_FALSE(fake.CallsNamed(expectedRead).empty());
        EXPECT_NE(portHandle.load(), kInvalidDevice);
        ClosePort();
        EXPECT_EQ(fake.OpenCount(), 0u);
    }
}

#if GTEST_HAS_DEATH_TEST && !defined(NDEBUG)
TEST_F(PortSamplerTest, OpeningWhileOpenIsACallerError) {
    ASSERT_TRUE(OpenPort(kWindow, 1));
    EXPECT_DEATH(OpenPort(kWindow, 2), "");
}
#endif

TEST(PortDevices, TheProfileNamesTheDevice) {
    MemoryProfile profile;
    profile.Set(kPortsSection, "COM2", "  ttyUSB0 ");
    profile.Set(kPortsSection, "LPT1", "sim");
    profile.Set(kPortsSection, "COM3", "");
    profile.Set("CHRONVK", "COM4", "elsewhere");
    EXPECT_EQ(DeviceForPort(2, &profile), "ttyUSB0");
    EXPECT_EQ(DeviceForPort(11, &profile), "SIM");
    EXPECT_EQ(DeviceForPort(3, &profile), DeviceForPort(3, nullptr));  // empty: the default
    EXPECT_EQ(DeviceForPort(4, &profile), DeviceForPort(4, nullptr));  // only its own section counts
    EXPECT_TRUE(AnyPortSimulated(&profile));
    EXPECT_FALSE(AnyPortSimulated(nullptr));
    for (int32_t code : {1, 2, 3, 4, 11, 12, 13, 14, 20}) EXPECT_FALSE(DeviceForPort(code, nullptr).empty());
}

TEST(PortDevices, WindowsPrefixesOnlyHighComPorts) {
    EXPECT_EQ(WindowsDeviceName("COM1"), "COM1");
    EXPECT_EQ(WindowsDeviceName("COM9"), "COM9");
    EXPECT_EQ(WindowsDeviceName("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(WindowsDeviceName("com255"), "\\\\.\\com255");
    EXPECT_EQ(WindowsDeviceName("LPT1"), "LPT1");
    EXPECT_EQ(WindowsDeviceName("\\\\.\\COM12"), "\\\\.\\COM12");
    EXPECT_EQ(WindowsDeviceName("COMX1"), "COMX1");
}

TEST(PortDevices, EdgeStampIsTheLowWordReadSigned) {
    EXPECT_EQ(EdgeStampFromParam(0x00000000FFFFFFFFull), -1);
    EXPECT_EQ(EdgeStampFromParam(0xFFFFFFFF80000000ull), INT32_MIN);
    EXPECT_EQ(EdgeStampFromParam(10000), 10000);
}

}  // namespace
