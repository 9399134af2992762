#include "clock/system_time.h"

bool IsValidSystemTime(const SystemTime& time) {
    return time.wYear >= 1601 && time.wYear <= 30827 &&
           time.wMonth >= 1 && time.wMonth <= 12 &&
           time.wDay >= 1 && time.wDay <= DaysInMonth(time.wYear, time.wMonth) &&
           time.wHour < 24 && time.wMinute < 60 && time.wSecond < 60 &&
           time.wMilliseconds < 1000;
}
