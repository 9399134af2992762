// Opening and closing ports while a timer thread ticks as fast as it can: built
// with ThreadSanitizer this shows any unsynchronised access between the window
// thread and the tick, and the layer below checks that no tick ever uses a
// released device or one of the wrong kind.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "clock/millisecond_clock.h"
#include "input/port_sampler.h"

namespace {

// Only atomics here, no locks: a lock in the fake would order the two threads
// and hide a race in the sampler.
class ThreadedPrimitives final : public PortPrimitives {
public:
    DeviceHandle OpenDevice(const std::string&, PortKind kind) override { return Open(kind); }
    void CloseDevice(DeviceHandle d) override { Close(d, PortKind::None); }
    void SetDtr(DeviceHandle d, bool) override { Use(d, PortKind::Serial); }
    ModemRead ReadModemStatus(DeviceHandle d, uint32_t& status) override {
        Use(d, PortKind::Serial);
        status = (++reads & 1) ? kModemDsrOn : 0;
        return ModemRead::Ok;
    }
    bool WriteByte(DeviceHandle d, uint8_t) override {
        Use(d, PortKind::Parallel);
        return true;
    }
    uint32_t LastError() override { return (++reads & 1) ? kErrorNotReady : 0; }
    DeviceHandle OpenJoystick(const std::string&) override { return Open(PortKind::Game); }
    bool ReadJoystickButtons(DeviceHandle d, uint32_t& buttons) override {
        Use(d, PortKind::Game);
        buttons = (++reads & 1) ? kJoyButton1 : 0;
        return true;
    }
    void CloseJoystick(DeviceHandle d) override { Close(d, PortKind::Game); }

    uint32_t StartTimer(NotifyWindow) override {
        stop_ = false;
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                SamplerTick();
                ticks.fetch_add(1);
            }
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
    std::atomic<long> ticks{0};
    std::atomic<long> posts{0};
    std::atomic<unsigned> reads{0};

private:
    // Handles are slots; a slot is reused only after its device was closed.
    DeviceHandle Open(PortKind kind) {
        const DeviceHandle h = next_++ % kSlots + 3;
        if (kinds_[Slot(h)].exchange(kind) != PortKind::None) violations.fetch_add(1);
        return h;
    }
    void Close(DeviceHandle h, PortKind expected) {
        const PortKind was = kinds_[Slot(h)].exchange(PortKind::None);
        if (was == PortKind::None || (expected != PortKind::None && was != expected)) violations.fetch_add(1);
    }
    void Use(DeviceHandle h, PortKind needed) {
        if (h < 3 || kinds_[Slot(h)].load() != needed) violations.fetch_add(1);
    }
    static size_t Slot(DeviceHandle h) { return static_cast<size_t>(h - 3) % kSlots; }

    static constexpr DeviceHandle kSlots = 4;
    std::array<std::atomic<PortKind>, kSlots> kinds_{};
    DeviceHandle next_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(SamplerRace, OpenAndCloseAThousandTimesWhileTicking) {
    ThreadedPrimitives primitives;
    SetPortPrimitives(&primitives);
    const int32_t codes[] = {1, 11, kGamePortCode, 3, 14};
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(OpenPort(nullptr, codes[i % 5]));
        // Let a few ticks happen on this port before switching (no sleeping:
        // the tick count is the sampler's own progress).
        const long target = primitives.ticks.load() + 3;
        while (primitives.ticks.load() < target) std::this_thread::yield();
        ClosePort();
    }
    SetPortPrimitives(nullptr);
    EXPECT_EQ(primitives.violations.load(), 0);
    EXPECT_GT(primitives.posts.load(), 0);
}

}  // namespace
