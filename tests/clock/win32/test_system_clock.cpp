#include <gtest/gtest.h>

#include <string>

#include "clock/win32/system_clock_win32.h"

namespace {

// A scripted Windows: each call checks its arguments and appends its letter
// (V version, O open token, L look up, E enable, S set, D disable, C close);
// the step named in `failAt` fails. The real SetSystemTime is never reached.
// A token opened is closed exactly once when the letters show one C after it.
struct Script {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    char failAt = 0;
    std::string calls;
    DWORD lastError = 0;
} script;

HANDLE const kProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
HANDLE const kToken = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1234));

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
    script.calls += 'V';
    EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
    info->dwPlatformId = script.platform;
    return TRUE;
}
HANDLE WINAPI FakeGetCurrentProcess() { return kProcess; }
BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    script.calls += 'O';
    EXPECT_TRUE(process == kProcess && access == (TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY));
    if (script.failAt == 'O') return FALSE;
    *token = kToken;
    return TRUE;
}
BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    script.calls += 'L';
    EXPECT_TRUE(system == nullptr && std::string(name) == "SeSystemtimePrivilege");
    *luid = LUID{12, 0};
    return script.failAt != 'L';
}
BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returned) {
    const DWORD attributes = newState->Privileges[0].Attributes;
    const char step = attributes == SE_PRIVILEGE_ENABLED ? 'E' : attributes == 0 ? 'D' : '?';
    script.calls += step;
    EXPECT_TRUE(token == kToken && !disableAll && newState->PrivilegeCount == 1 &&
                newState->Privileges[0].Luid.LowPart == 12 && length == 0 && !previous &&
                !returned);
    // Like the real call it "succeeds", telling a missing privilege only by the last error.
    script.lastError = script.failAt == step ? ERROR_NOT_ALL_ASSIGNED : 0;
    return TRUE;
}
DWORD WINAPI FakeGetLastError() { return script.lastError; }
BOOL WINAPI FakeSetSystemTime(const SYSTEMTIME* t) {
    script.calls += 'S';
    EXPECT_TRUE(t->wYear == 2026 && t->wMonth == 12 && t->wDay == 6 && t->wHour == 13 &&
                t->wMinute == 5 && t->wSecond == 2 && t->wMilliseconds == 0);
    return script.failAt != 'S';
}
BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    script.calls += 'C';
    EXPECT_EQ(handle, kToken);
    return TRUE;
}

const Win32ClockApi kFake{&FakeGetVersionExA,         &FakeGetCurrentProcess,
                          &FakeOpenProcessToken,      &FakeLookupPrivilegeValueA,
                          &FakeAdjustTokenPrivileges, &FakeGetLastError,
                          &FakeSetSystemTime,         &FakeCloseHandle};

TEST(Win32SystemClock, PrivilegeSequenceForEveryCodeClosesTheTokenOnce) {
    constexpr DWORD kNt = VER_PLATFORM_WIN32_NT, k95 = VER_PLATFORM_WIN32_WINDOWS;
    constexpr SystemTime kValid{2026, 12, 0, 6, 13, 5, 2, 0}, kMonth14{2026, 14, 0, 1, 0, 0, 0, 0};
    const struct { DWORD platform; char failAt; SystemTime time; int code; const char* calls; } cases[] = {
        {kNt, 0, kValid, 0, "VOLESDC"},  {kNt, 'O', kValid, 1, "VO"},    {kNt, 'L', kValid, 2, "VOLC"},
        {kNt, 'E', kValid, 3, "VOLEC"},  {kNt, 'D', kValid, 5, "VOLESDC"},
        {kNt, 'S', kValid, 4, "VOLESC"},  // refused: the privilege stays enabled, as the sequence has it
        {kNt, 0, kMonth14, 4, "VOLEC"},   // out of range: SetSystemTime is never asked
        {k95, 0, kValid, 0, "VS"},       {k95, 'S', kValid, 4, "VS"},    {k95, 0, kMonth14, 4, "V"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.calls) + " code " + std::to_string(c.code));
        script = Script{c.platform, c.failAt, "", 0};
        EXPECT_EQ(static_cast<int>(SetSystemClockWith(kFake, c.time)), c.code);
        EXPECT_EQ(script.calls, c.calls);
    }
}

}  // namespace
