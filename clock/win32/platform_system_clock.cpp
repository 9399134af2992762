// The one place that hands the real clock calls to the privilege sequence.
#include "clock/platform_system_clock.h"

#include "clock/win32/system_clock_win32.h"

namespace {

const Win32ClockApi kRealCalls{
    &GetVersionExA,         &GetCurrentProcess, &OpenProcessToken, &LookupPrivilegeValueA,
    &AdjustTokenPrivileges, &GetLastError,      &SetSystemTime,    &CloseHandle,
};

class WindowsClock final : public SystemClock {
public:
    ClockResult SetSystemClock(const SystemTime& utc) override {
        return SetSystemClockWith(kRealCalls, utc);
    }
};

}  // namespace

SystemClock& PlatformSystemClock() {
    static WindowsClock clock;
    return clock;
}
