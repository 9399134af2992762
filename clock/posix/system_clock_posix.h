// The Linux system clock with its one kernel call behind a pointer, so tests
// can check what would be set without setting anything.
#pragma once

#include <time.h>

#include "clock/system_time.h"

struct PosixClockApi {
    int (*clockSettime)(clockid_t clock, const timespec* time);
};

// The real kernel call.
const PosixClockApi& RealPosixClockApi();

// 0 when the clock was set; 4 when the time is out of range (checked before
// anything reaches the kernel) or the kernel refuses it, e.g. without
// CAP_SYS_TIME. The NT privilege codes 1-3 and 5 do not arise here.
int SetSystemClockWith(const PosixClockApi& api, const SystemTime& utc);
