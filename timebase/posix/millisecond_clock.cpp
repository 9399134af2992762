#include "timebase/millisecond_clock.h"

#include <time.h>

namespace {
class MonotonicClock final : public MillisecondClock {
public:
    uint32_t NowMs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        // Truncated to 32 bits on purpose: stamps wrap like the Windows multimedia clock.
        const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                            static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }
};
}  // namespace

MillisecondClock& SystemMillisecondClock() {
    static MonotonicClock clock;
    return clock;
}
