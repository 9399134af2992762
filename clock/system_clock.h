// The system clock seam.
#pragma once

#include "clock/system_time.h"

// What SetSystemClock answers: the step of the privilege sequence that failed.
// The numbers are the ones the program has always shown and logged.
enum class ClockResult : int {
    kSet = 0,
    kTokenNotOpened = 1,
    kPrivilegeNotFound = 2,
    kPrivilegeNotEnabled = 3,
    kTimeRefused = 4,
    kPrivilegeNotDisabled = 5,  // the clock has been set all the same
};

class SystemClock {
public:
    virtual ~SystemClock() = default;
    // `utc` is UTC, whatever the user chose to be shown.
    virtual ClockResult SetSystemClock(const SystemTime& utc) = 0;
};

// A clock that sets nothing: it checks and remembers the requested time. This
// is the only clock the tools and tests can link; the machine's real one lives
// in a library of its own that only the program links.
class DryRunSystemClock final : public SystemClock {
public:
    ClockResult SetSystemClock(const SystemTime& utc) override;

    // Requests seen so far, and the last one with its result.
    unsigned RequestCount() const { return requests_; }
    const SystemTime& LastRequest() const { return last_; }
    ClockResult LastResult() const { return lastResult_; }

private:
    unsigned requests_ = 0;
    SystemTime last_{};
    ClockResult lastResult_ = ClockResult::kSet;
};
