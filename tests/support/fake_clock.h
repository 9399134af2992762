// A millisecond clock that stands still until a test moves it.
#pragma once

#include <atomic>

#include "timebase/edge_clock.h"
#include "timebase/millisecond_clock.h"

class FakeMillisecondClock final : public MillisecondClock {
public:
    explicit FakeMillisecondClock(uint32_t start = 0) : now_(start) {}
    uint32_t NowMs() override { return now_; }
    void Set(uint32_t ms) { now_ = ms; }
    void Advance(uint32_t ms) { now_ += ms; }

private:
    uint32_t now_;
};

// A clock that races ahead 50 ms at every reading, so the simulated receiver's
// line changes every few ticks of a real sampling timer.
class RacingClock final : public MillisecondClock {
public:
    uint32_t NowMs() override { return reads.fetch_add(1) * 50u; }
    std::atomic<uint32_t> reads{0};
};

// One machine's millisecond and edge clocks, standing still until a test
// moves them or a sleep on the edge clock does: the simulated receiver's
// waits then take no time.
class FakeMachineClocks final : public MillisecondClock, public EdgeClock {
public:
    explicit FakeMachineClocks(int64_t startNs) : ns(startNs) {}
    uint32_t NowMs() override { return static_cast<uint32_t>(ns / 1'000'000); }
    int64_t NowNs() override { return ns; }
    void SleepUntil(int64_t instantNs) override { ns = instantNs > ns ? instantNs : ns; }
    int64_t ns;
};
