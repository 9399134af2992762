// The window thread against the timer thread. Built with ThreadSanitizer
// (label "race") this shows any unsynchronised access between them.

#include <gtest/gtest.h>

#include <atomic>

#include "input/live_receiver.h"
#include "input/port_sampler.h"
#include "tests/support/count_edges.h"
#include "tests/support/fake_clock.h"
#include "tests/support/memory_port_profile.h"
#include "tests/support/test_thread.h"

namespace {

// Only atomics here, no locks: a lock in the fake would order the two threads
// and hide a race in the sampler. Every read flips the line, so ticks post.
class ThreadedPlatform final : public PortPlatform, public EdgeSink {
public:
    std::unique_ptr<PortDriver> MakeDriver(PortKind, const std::string&, bool) override {
        return std::make_unique<Driver>(*this);
    }
    uint32_t StartWaiter() override { return 0; }
    uint32_t StartTimer() override {
        stop_ = false;
        thread_ = TestThread([this] {
            for (; !stop_.load(); ticks.fetch_add(1)) SamplerTick();
        });
        return 1;
    }
    void CancelTimer(uint32_t) override {
        stop_ = true;
        thread_.Join();
    }
    bool PostEdge(uint8_t, uint32_t) override {
        posts.fetch_add(1);
        return true;
    }

    std::atomic<int> violations{0}, openDrivers{0};
    std::atomic<long> ticks{0}, posts{0};

private:
    class Driver final : public PortDriver {
    public:
        explicit Driver(ThreadedPlatform& p) : p_(p) {}
        bool Open(const std::string&) override {
            if (p_.openDrivers.fetch_add(1) != 0) p_.violations.fetch_add(1);
            open_ = true;
            return true;
        }
        void Power(bool) override { Use(); }
        LineRead ReadLevel() override { return LevelRead(Use()); }
        void Close() override {
            Use();
            open_ = false;
            p_.openDrivers.fetch_sub(1);
        }

    private:
        // Returns the next level of a line that flips at every read.
        bool Use() {
            if (!open_.load()) p_.violations.fetch_add(1);
            return (++reads_ & 1) != 0;
        }
        ThreadedPlatform& p_;
        std::atomic<bool> open_{false};
        std::atomic<unsigned> reads_{0};
    };

    std::atomic<bool> stop_{false};
    TestThread thread_;
};

TEST(SamplerRace, OpenAndCloseAThousandTimesWhileTicking) {
    ThreadedPlatform platform;
    SetPortPlatform(&platform);
    const int32_t codes[] = {1, 11, kGamePortCode, 3, 14};
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(OpenPort(platform, codes[i % 5]));
        // A few ticks on this port before switching; the tick count is the
        // sampler's own progress, so nothing sleeps.
        const long target = platform.ticks.load() + 3;
        while (platform.ticks.load() < target) TestThread::GiveWay();
        ClosePort();
    }
    SetPortPlatform(nullptr);
    EXPECT_EQ(platform.violations.load(), 0);
    EXPECT_GT(platform.posts.load(), 0);
}

// The simulated receiver through the machine's own timer and hand-over (on
// Windows the multimedia timer, TCB and the edge message), stopped from
// another thread as a signal handler or the console's handler would.
TEST(LiveReception, TheMachinesTimerDeliversEdgesUntilStoppedFromAnotherThread) {
    RacingClock clock;
    MemoryPortProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    SetSamplerClock(&clock);
    SetPortProfile(&profile);
    CountEdges edges;
    TestThread stopper([&edges] {
        while (edges.count.load() < 4) TestThread::GiveWay();
        StopLiveReception();
    });
    EXPECT_EQ(ReceiveLive(1, edges), LiveResult::Interrupted);
    stopper.Join();
    SetPortProfile(nullptr);
    SetSamplerClock(nullptr);
    // Every change arrives once and in order: the levels alternate.
    ASSERT_GE(edges.levels.size(), 4u);
    for (size_t i = 1; i < edges.levels.size(); ++i) EXPECT_NE(edges.levels[i], edges.levels[i - 1]) << i;
}

}  // namespace
