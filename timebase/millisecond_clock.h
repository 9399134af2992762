// The multimedia millisecond clock: 32 bits, wrapping about every 49.7 days.
// Everything that asks "what time is it" in milliseconds goes through this
// seam, so tests and the simulated receiver can drive time.
#pragma once

#include <cstdint>

class MillisecondClock {
public:
    virtual ~MillisecondClock() = default;
    virtual uint32_t NowMs() = 0;
};

// The platform's clock: timeGetTime on Windows, CLOCK_BOOTTIME elsewhere; both
// count the time the machine sleeps.
MillisecondClock& SystemMillisecondClock();
