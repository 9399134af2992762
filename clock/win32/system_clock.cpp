#include "clock/win32/system_clock_win32.h"

namespace {

// The process token, closed on every way out.
class TokenHandle {
public:
    explicit TokenHandle(const Win32ClockApi& api) : api_(api) {}
    ~TokenHandle() {
        if (handle_ != nullptr) api_.closeHandle(handle_);
    }
    TokenHandle(const TokenHandle&) = delete;
    TokenHandle& operator=(const TokenHandle&) = delete;

    PHANDLE out() { return &handle_; }
    HANDLE get() const { return handle_; }

private:
    const Win32ClockApi& api_;
    HANDLE handle_ = nullptr;
};

BOOL SetTime(const Win32ClockApi& api, const SystemTime& utc) {
    if (!IsValidSystemTime(utc)) return FALSE;
    SYSTEMTIME time{};
    time.wYear = utc.wYear;
    time.wMonth = utc.wMonth;
    time.wDayOfWeek = utc.wDayOfWeek;
    time.wDay = utc.wDay;
    time.wHour = utc.wHour;
    time.wMinute = utc.wMinute;
    time.wSecond = utc.wSecond;
    time.wMilliseconds = utc.wMilliseconds;
    return api.setSystemTime(&time);
}

}  // namespace

ClockResult SetSystemClockWith(const Win32ClockApi& api, const SystemTime& utc) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    api.getVersionExA(&version);

    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        return SetTime(api, utc) ? ClockResult::kSet : ClockResult::kTimeRefused;
    }

    TokenHandle token(api);
    if (!api.openProcessToken(api.getCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                              token.out())) {
        return ClockResult::kTokenNotOpened;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    if (!api.lookupPrivilegeValueA(nullptr, "SeSystemtimePrivilege",
                                   &privileges.Privileges[0].Luid)) {
        return ClockResult::kPrivilegeNotFound;
    }

    // AdjustTokenPrivileges succeeds even when the account lacks the
    // privilege; only the last error tells (ERROR_NOT_ALL_ASSIGNED).
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    api.adjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    if (api.getLastError() != 0) return ClockResult::kPrivilegeNotEnabled;

    if (!SetTime(api, utc)) return ClockResult::kTimeRefused;

    privileges.Privileges[0].Attributes = 0;
    api.adjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    if (api.getLastError() != 0) return ClockResult::kPrivilegeNotDisabled;
    return ClockResult::kSet;
}
