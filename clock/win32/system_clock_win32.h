// The Windows system clock with its OS calls behind a table, so tests can
// walk every path of the privilege sequence without touching the real clock.
#pragma once

#include <windows.h>

#include "clock/system_clock.h"

struct Win32ClockApi {
    BOOL(WINAPI* getVersionExA)(LPOSVERSIONINFOA info);
    HANDLE(WINAPI* getCurrentProcess)();
    BOOL(WINAPI* openProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* lookupPrivilegeValueA)(LPCSTR system, LPCSTR name, PLUID luid);
    BOOL(WINAPI* adjustTokenPrivileges)(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                        DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returned);
    DWORD(WINAPI* getLastError)();
    BOOL(WINAPI* setSystemTime)(const SYSTEMTIME* time);
    BOOL(WINAPI* closeHandle)(HANDLE handle);
};

// Enables SeSystemtimePrivilege on the NT family, sets the clock and disables
// the privilege again. A time out of range is refused with kTimeRefused where
// SetSystemTime would be called, without calling it. The table of the real
// calls is not here: only the program's own clock library holds it.
ClockResult SetSystemClockWith(const Win32ClockApi& api, const SystemTime& utc);
