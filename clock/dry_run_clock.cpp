#include "clock/system_clock.h"

int DryRunSystemClock::SetSystemClock(const SystemTime& utc) {
    ++requests_;
    last_ = utc;
    lastResult_ = IsValidSystemTime(utc) ? 0 : 4;
    return lastResult_;
}
