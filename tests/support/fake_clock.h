// A millisecond clock that stands still until a test moves it.
#pragma once

#include <atomic>

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
