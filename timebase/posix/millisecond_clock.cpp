#include "timebase/millisecond_clock.h"

#include <time.h>

namespace {
// CLOCK_BOOTTIME, not CLOCK_MONOTONIC: like the Windows multimedia clock it
// goes on while the machine sleeps, so a suspend shows in the edge stamps as
// the pause it was, and nothing measured across it is carried on as if the
// time had stood still.
class BootClock final : public MillisecondClock {
public:
    uint32_t NowMs() override {
        timespec ts{};
        clock_gettime(CLOCK_BOOTTIME, &ts);
        // Truncated to 32 bits on purpose: stamps wrap like the Windows multimedia clock.
        const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                            static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }
};
}  // namespace

MillisecondClock& SystemMillisecondClock() {
    static BootClock clock;
    return clock;
}
