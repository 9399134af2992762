// The Linux port layer against real files, descriptors and the sampling thread.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "clock/millisecond_clock.h"
#include "input/port_devices.h"
#include "input/port_sampler.h"
#include "input/posix/edge_event_loop.h"
#include "input/sim_receiver.h"
#include "tests/support/memory_profile.h"

namespace {

class Collect final : public EdgeHandler {
public:
    void OnEdge(uint8_t level, int32_t stamp) override {
        levels += static_cast<char>('0' + level);
        last = stamp;
    }
    std::string levels;
    int32_t last = 0;
};

class PosixPorts : public ::testing::Test {
protected:
    void TearDown() override {
        ClosePort();
        SetPortPrimitives(nullptr);
        SetSamplerClock(nullptr);
        SetPortProfile(nullptr);
    }
    MemoryProfile profile;
};

TEST_F(PosixPorts, AMappedRegularFileIsRefusedAndLeftAlone) {
    char path[] = "/tmp/chronvk-port-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "notes\n", 6), 6);
    close(fd);
    struct stat before{};
    ASSERT_EQ(stat(path, &before), 0);

    for (const char* key : {"COM1", "LPT1", "GAME"}) profile.Set(kPortsSection, key, path);
    // A character device that is neither a tty nor a parallel port is refused as well.
    profile.Set(kPortsSection, "COM2", "/dev/null");
    profile.Set(kPortsSection, "LPT2", "/dev/null");
    SetPortProfile(&profile);
    for (int32_t code : {1, 11, 2, 12}) {
        EXPECT_FALSE(OpenPort(nullptr, code)) << code;
        EXPECT_EQ(portHandle.load(), kInvalidDevice);
        ClosePort();
    }
    EXPECT_FALSE(OpenPort(nullptr, kGamePortCode));  // a joystick must be a device too

    struct stat after{};
    ASSERT_EQ(stat(path, &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    unlink(path);
}

TEST_F(PosixPorts, MissingDevicesFail) {
    profile.Set(kPortsSection, "COM4", "/dev/chronvk-no-such-tty");
    SetPortProfile(&profile);
    EXPECT_FALSE(OpenPort(nullptr, 4));
}

TEST(EdgeEventLoop, DeliversPostsInOrderAndDropsWhatDoesNotFit) {
    EdgeEventLoop loop;
    ASSERT_TRUE(loop.Ok());
    Collect collect;
    EXPECT_EQ(loop.Dispatch(0, collect), 0);
    ASSERT_TRUE(loop.Post(1, 10));
    ASSERT_TRUE(loop.Post(0, 0xFFFFFFFFu));
    EXPECT_EQ(loop.Dispatch(0, collect), 2);
    EXPECT_EQ(collect.levels, "10");
    EXPECT_EQ(collect.last, -1);

    // A window thread that stops reading never blocks the poster.
    size_t posted = 0;
    while (loop.Post(1, 1)) ++posted;
    EXPECT_GT(posted, 100u);
    EXPECT_FALSE(loop.Post(0, 2));
    collect.levels.clear();
    while (loop.Dispatch(0, collect) > 0) {
    }
    EXPECT_EQ(collect.levels.size(), posted);
}

// The real sampling thread with the simulated receiver, its time racing ahead
// so that every tick sees a change of level.
class RacingClock final : public MillisecondClock {
public:
    uint32_t NowMs() override { return now_.fetch_add(50) + 50; }

private:
    std::atomic<uint32_t> now_{0};
};

class CountingPosts final : public PortPrimitives {
public:
    explicit CountingPosts(PortPrimitives& real) : real_(real) {}
    DeviceHandle OpenDevice(const std::string& n, PortKind k) override { return real_.OpenDevice(n, k); }
    void CloseDevice(DeviceHandle d) override { real_.CloseDevice(d); }
    void SetDtr(DeviceHandle d, bool on) override { real_.SetDtr(d, on); }
    ModemRead ReadModemStatus(DeviceHandle d, uint32_t& s) override { return real_.ReadModemStatus(d, s); }
    bool WriteByte(DeviceHandle d, uint8_t v) override { return real_.WriteByte(d, v); }
    uint32_t LastError() override { return real_.LastError(); }
    DeviceHandle OpenJoystick(const std::string& n) override { return real_.OpenJoystick(n); }
    bool ReadJoystickButtons(DeviceHandle j, uint32_t& b) override { return real_.ReadJoystickButtons(j, b); }
    void CloseJoystick(DeviceHandle j) override { real_.CloseJoystick(j); }
    uint32_t StartTimer(NotifyWindow w) override { return real_.StartTimer(w); }
    void CancelTimer(uint32_t t) override { real_.CancelTimer(t); }
    bool PostEdge(NotifyWindow w, uint8_t level, uint32_t stamp) override {
        const bool ok = real_.PostEdge(w, level, stamp);
        (ok ? delivered : dropped).fetch_add(1);
        return ok;
    }
    std::atomic<int> delivered{0};
    std::atomic<int> dropped{0};

private:
    PortPrimitives& real_;
};

// Waits for a condition the sampling thread brings about; the limit only
// guards against a broken build hanging the suite.
template <typename Condition>
bool Eventually(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST_F(PosixPorts, AFullHandOverPipeDoesNotStopClosePort) {
    RacingClock clock;
    SimulatedReceiverPrimitives sim(PlatformPortPrimitives(), clock);
    CountingPosts counting(sim);
    SetPortPrimitives(&counting);
    SetSamplerClock(&clock);
    profile.Set(kPortsSection, "COM1", "SIM");
    SetPortProfile(&profile);

    EdgeEventLoop loop;
    while (loop.Post(0, 0)) {
    }
    ASSERT_TRUE(OpenPort(loop.Window(), 1));
    ASSERT_TRUE(Eventually([&] { return counting.dropped.load() >= 3; }));
    ClosePort();  // returns: the sampler never waited on the pipe
    EXPECT_EQ(counting.delivered.load(), 0);
}

TEST_F(PosixPorts, TheSamplingThreadDeliversSimulatedEdgesAndStopsOnClose) {
    RacingClock clock;
    SimulatedReceiverPrimitives sim(PlatformPortPrimitives(), clock);
    CountingPosts counting(sim);
    SetPortPrimitives(&counting);
    SetSamplerClock(&clock);
    profile.Set(kPortsSection, "LPT2", "SIM");
    SetPortProfile(&profile);

    EdgeEventLoop loop;
    Collect collect;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(OpenPort(loop.Window(), 12));
        ASSERT_TRUE(Eventually([&] {
            loop.Dispatch(0, collect);
            return collect.levels.size() >= 2;
        }));
        ClosePort();
        while (loop.Dispatch(0, collect) > 0) {
        }
        const size_t afterClose = collect.levels.size();
        EXPECT_EQ(afterClose, static_cast<size_t>(counting.delivered.load()));
        collect.levels.clear();
        counting.delivered = 0;
    }
}

}  // namespace
