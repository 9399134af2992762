// Opening and closing ports while a timer thread ticks as fast as it can: built
// with ThreadSanitizer this shows any unsynchronised access between the window
// thread and the tick, and the layer below counts every tick that uses a
// released device or one of the wrong kind.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "input/port_sampler.h"

namespace {

// Only atomics here, no locks: a lock in the fake would order the two threads
// and hide a race in the sampler. Every read flips the line, so ticks post.
class ThreadedPrimitives final : public PortPrimitives {
public:
    DeviceHandle OpenDevice(const std::string&, PortKind kind) override { return Open(kind); }
    void CloseDevice(DeviceHandle d) override { Close(d); }
    void SetDtr(DeviceHandle d, bool) override { Use(d, PortKind::Serial); }
    ModemRead ReadModemStatus(DeviceHandle d, uint32_t& status) override {
        status = Use(d, PortKind::Serial) ? kModemDsrOn : 0;
        return ModemRead::Ok;
    }
    bool WriteByte(DeviceHandle d, uint8_t) override { return Use(d, PortKind::Parallel); }
    uint32_t LastError() override { return kErrorNotReady; }
    DeviceHandle OpenJoystick(const std::string&) override { return Open(PortKind::Game); }
    bool ReadJoystickButtons(DeviceHandle d, uint32_t& buttons) override {
        buttons = Use(d, PortKind::Game) ? kJoyButton1 : 0;
        return true;
    }
    void CloseJoystick(DeviceHandle d) override { Close(d); }
    uint32_t StartTimer(NotifyWindow) override {
        stop_ = false;
        thread_ = std::thread([this] {
            for (; !stop_.load(); ticks.fetch_add(1)) SamplerTick();
        });
        return 1;
    }
    void CancelTimer(uint32_t) override {
        stop_ = true;
        thread_.join();
    }
    bool PostEdge(NotifyWindow, uint8_t, uint32_t) override {
        posts.fetch_add(1);
        return true;
    }

    std::atomic<int> violations{0};
    std::atomic<long> ticks{0}, posts{0};

private:
    // Every device gets a handle of its own, so a tick on a released one shows.
    DeviceHandle Open(PortKind kind) {
        if (kind_.exchange(kind) != PortKind::None) violations.fetch_add(1);
        handle_ = ++next_;
        return handle_;
    }
    void Close(DeviceHandle h) {
        if (h != handle_.exchange(kInvalidDevice)) violations.fetch_add(1);
        kind_ = PortKind::None;
    }
    // Returns the next level of a line that flips at every read.
    bool Use(DeviceHandle h, PortKind needed) {
        if (h != handle_.load() || kind_.load() != needed) violations.fetch_add(1);
        return (++reads_ & 1) != 0;
    }

    std::atomic<PortKind> kind_{PortKind::None};
    std::atomic<DeviceHandle> handle_{kInvalidDevice};
    DeviceHandle next_ = 10;
    std::atomic<unsigned> reads_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(SamplerRace, OpenAndCloseAThousandTimesWhileTicking) {
    ThreadedPrimitives primitives;
    SetPortPrimitives(&primitives);
    const int32_t codes[] = {1, 11, kGamePortCode, 3, 14};
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(OpenPort(nullptr, codes[i % 5]));
        // A few ticks on this port before switching; the tick count is the
        // sampler's own progress, so nothing sleeps.
        const long target = primitives.ticks.load() + 3;
        while (primitives.ticks.load() < target) std::this_thread::yield();
        ClosePort();
    }
    SetPortPrimitives(nullptr);
    EXPECT_EQ(primitives.violations.load(), 0);
    EXPECT_GT(primitives.posts.load(), 0);
}

}  // namespace
