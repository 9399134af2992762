// The Linux sampling thread and the pipe that hands its edges to the event loop.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "timebase/millisecond_clock.h"
#include "input/port_sampler.h"
#include "input/posix/edge_event_loop.h"
#include "input/sim_receiver.h"
#include "tests/support/fake_port_primitives.h"
#include "tests/support/memory_profile.h"

namespace {

class Collect final : public EdgeHandler {
public:
    void OnEdge(uint8_t level, int32_t stamp) override {
        if (levels.empty()) first = stamp;
        levels += static_cast<char>('0' + level);
    }
    std::string levels;
    int32_t first = 0;
};

// The signal's time races ahead, 50 ms at every reading, so the simulated
// line changes every few ticks of the real sampling thread.
class RacingClock final : public MillisecondClock {
public:
    uint32_t NowMs() override { return reads.fetch_add(1) * 50u; }
    std::atomic<uint32_t> reads{0};
};

// Waits for what the sampling thread brings about; the limit only guards
// against a broken build hanging the suite.
template <typename Condition>
bool Eventually(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    return condition();
}

TEST(PosixPorts, TheSamplingThreadNeverWaitsOnAFullPipeAndDeliversEachChangeOnce) {
    RacingClock clock;
    SimulatedReceiverPrimitives sim(PlatformPortPrimitives(), clock);
    MemoryProfile profile;
    profile.ports = {{"COM1", "SIM"}};
    EdgeEventLoop loop;
    Collect collect;
    SamplerSeams seams{&sim, &clock, &profile};
    // A window thread that stops reading: the pipe fills and posting fails, never waits.
    ASSERT_TRUE(loop.Post(1, 0xFFFFFFFFu));
    size_t filled = 1;
    while (loop.Post(0, 0)) ++filled;
    ASSERT_TRUE(OpenPort(loop.Window(), 1));
    const uint32_t target = clock.reads.load() + 40;  // two seconds of signal: marks that cannot fit
    EXPECT_TRUE(Eventually([&] { return clock.reads.load() >= target; }));
    ClosePort();  // returns: the sampler never waited on the pipe
    while (loop.Dispatch(0, collect) > 0) {
    }
    EXPECT_EQ(collect.levels, "1" + std::string(filled - 1, '0'));  // what fit, in order, and no more
    EXPECT_EQ(collect.first, -1);  // stamps are read signed

    collect.levels.clear();
    ASSERT_TRUE(OpenPort(loop.Window(), 1));
    EXPECT_TRUE(Eventually([&] { return loop.Dispatch(0, collect) >= 0 && collect.levels.size() >= 4; }));
    ClosePort();
    while (loop.Dispatch(0, collect) > 0) {
    }
    // Every change arrives once and in order: the levels alternate.
    for (size_t i = 1; i < collect.levels.size(); ++i) EXPECT_NE(collect.levels[i], collect.levels[i - 1]) << i;
}

}  // namespace
