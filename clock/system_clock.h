// The system clock seam. Result codes of SetSystemClock:
//   0 set; 1 opening the process token failed; 2 looking up the clock privilege
//   failed; 3 enabling it failed; 4 the time was refused; 5 disabling the
//   privilege again failed (the clock has been set).
#pragma once

#include "clock/system_time.h"

class SystemClock {
public:
    virtual ~SystemClock() = default;
    // `utc` is UTC, whatever the user chose to be shown.
    virtual int SetSystemClock(const SystemTime& utc) = 0;
};

// The machine's real clock. Only the program itself may use this: tests,
// tools and the simulated receiver use DryRunSystemClock.
SystemClock& PlatformSystemClock();

// A clock that sets nothing: it checks and remembers the requested time.
class DryRunSystemClock final : public SystemClock {
public:
    int SetSystemClock(const SystemTime& utc) override;

    // Requests seen so far, and the last one with its result.
    unsigned RequestCount() const { return requests_; }
    const SystemTime& LastRequest() const { return last_; }
    int LastResult() const { return lastResult_; }

private:
    unsigned requests_ = 0;
    SystemTime last_{};
    int lastResult_ = 0;
};
