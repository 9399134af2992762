#include "clock/posix/system_clock_posix.h"

ClockResult SetSystemClockWith(const PosixClockApi& api, const SystemTime& utc) {
    // timegm would quietly turn month 14 into February of the next year, and
    // the clock would be "set" to a date nobody sent.
    if (!IsValidSystemTime(utc)) return ClockResult::kTimeRefused;

    tm fields{};
    fields.tm_year = utc.wYear - 1900;
    fields.tm_mon = utc.wMonth - 1;
    fields.tm_mday = utc.wDay;
    fields.tm_hour = utc.wHour;
    fields.tm_min = utc.wMinute;
    fields.tm_sec = utc.wSecond;
    const time_t seconds = timegm(&fields);
    if (seconds == static_cast<time_t>(-1)) return ClockResult::kTimeRefused;

    timespec when{};
    when.tv_sec = seconds;
    when.tv_nsec = static_cast<long>(utc.wMilliseconds) * 1000000L;
    return api.clockSettime(CLOCK_REALTIME, &when) == 0 ? ClockResult::kSet
                                                        : ClockResult::kTimeRefused;
}
