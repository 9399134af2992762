// The machine's own timer and waiting thread around a driver that waits as
// the real ones do until the stop wakes it (`Blocker`: in the kernel on Linux,
// on an event on Windows), or refuses waits, so that the timer samples it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "input/port_sampler.h"
#include "tests/support/fake_port_platform.h"
#include "tests/support/test_thread.h"

template <class Blocker>
class WaitingPlatform final : public PortPlatform, public EdgeSink {
public:
    std::unique_ptr<PortDriver> MakeDriver(PortKind, const std::string&, bool) override {
        return std::make_unique<Driver>(*this);
    }
    uint32_t StartTimer() override { return MachinePortPlatform().StartTimer(); }
    uint32_t StartWaiter() override { return MachinePortPlatform().StartWaiter(); }
    void CancelTimer(uint32_t timer) override { MachinePortPlatform().CancelTimer(timer); }
    bool PostEdge(uint8_t, uint32_t) override { return true; }

    bool refuse = false;
    std::atomic<int> waits{0}, reads{0};
    std::atomic<bool> inWait{false};

private:
    struct Driver final : PortDriver {
        explicit Driver(WaitingPlatform& p) : p_(p) {}
        bool Open(const std::string&) override { return true; }
        void Power(bool) override {}
        LineRead ReadLevel() override {
            ++p_.reads;
            return LineRead::Low;
        }
        void Close() override { EXPECT_FALSE(p_.inWait.load()) << "the device went while it was waited on"; }
        void WaitLine(LineWait& wait) override {
            if (p_.refuse) return PortDriver::WaitLine(wait);
            p_.inWait = true;
            ++p_.waits;
            blocker_.Block();
            p_.inWait = false;
        }
        void Interrupt() override { blocker_.Wake(); }
        WaitingPlatform& p_;
        Blocker blocker_;
    };
};

// Closing ends a wait, in progress or about to begin; a refused wait is
// followed by the timer's ticks (the first reading, then at least three).
template <class Blocker>
void ExpectClosingEndsTheWaitAndTicksFollowARefusal() {
    WaitingPlatform<Blocker> platform;
    SamplerSeams seams{&platform, nullptr};
    SetPortEvents(true);
    for (const bool refuse : {false, true}) {
        platform.refuse = refuse;
        ASSERT_TRUE(OpenPort(platform, 1));
        while (refuse ? platform.reads.load() < 4 : platform.waits.load() == 0) TestThread::GiveWay();
        ClosePort();
    }
}
