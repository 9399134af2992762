// The Linux system clock with its one kernel call behind a pointer, so tests
// can check what would be set without setting anything.
#pragma once

#include <time.h>

#include "clock/system_clock.h"

struct PosixClockApi {
    int (*clockSettime)(clockid_t clock, const timespec* time);
};

// kSet, or kTimeRefused when the time is out of range (checked before anything
// reaches the kernel) or the kernel refuses it, e.g. without CAP_SYS_TIME. The
// privilege steps of the NT family do not arise here. The real kernel call is
// not here: only the program's own clock library holds it.
ClockResult SetSystemClockWith(const PosixClockApi& api, const SystemTime& utc);
