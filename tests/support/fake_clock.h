// A millisecond clock that stands still until a test moves it.
#pragma once

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
