#include "clock/system_clock.h"

ClockResult DryRunSystemClock::SetSystemClock(const SystemTime& utc) {
    ++requests_;
    last_ = utc;
    lastResult_ = IsValidSystemTime(utc) ? ClockResult::kSet : ClockResult::kTimeRefused;
    return lastResult_;
}
