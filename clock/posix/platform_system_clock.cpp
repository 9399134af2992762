// The one place that hands the real kernel call to the clock setting.
#include "clock/platform_system_clock.h"

#include "clock/posix/system_clock_posix.h"

namespace {

const PosixClockApi kRealCalls{&clock_settime};

class KernelClock final : public SystemClock {
public:
    ClockResult SetSystemClock(const SystemTime& utc) override {
        return SetSystemClockWith(kRealCalls, utc);
    }
};

}  // namespace

SystemClock& PlatformSystemClock() {
    static KernelClock clock;
    return clock;
}
