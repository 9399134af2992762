#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "clock/win32/system_clock_win32.h"

namespace {

// A scripted Windows: every call is recorded, and the step named in `failAt`
// fails. The real SetSystemTime is never reached from here.
struct Script {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    std::string failAt;
    std::vector<std::string> calls;
    DWORD lastError = 0;
    int openTokens = 0;
    SYSTEMTIME setTo{};
};
Script script;

HANDLE const kProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
HANDLE const kToken = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1234));

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
    script.calls.push_back("GetVersionExA " + std::to_string(info->dwOSVersionInfoSize));
    info->dwPlatformId = script.platform;
    return TRUE;
}

HANDLE WINAPI FakeGetCurrentProcess() { return kProcess; }

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    script.calls.push_back("OpenProcessToken " + std::to_string(access));
    EXPECT_EQ(process, kProcess);
    if (script.failAt == "open") return FALSE;
    *token = kToken;
    ++script.openTokens;
    return TRUE;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    script.calls.push_back(std::string("LookupPrivilegeValueA ") + name);
    EXPECT_EQ(system, nullptr);
    if (script.failAt == "lookup") return FALSE;
    luid->LowPart = 12;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState,
                                      DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returned) {
    const DWORD attributes = newState->Privileges[0].Attributes;
    script.calls.push_back("AdjustTokenPrivileges " + std::to_string(attributes));
    EXPECT_EQ(token, kToken);
    EXPECT_FALSE(disableAll);
    EXPECT_EQ(newState->PrivilegeCount, 1u);
    EXPECT_EQ(newState->Privileges[0].Luid.LowPart, 12u);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(previous, nullptr);
    EXPECT_EQ(returned, nullptr);
    // Like the real call, it "succeeds" and reports a missing privilege only
    // through the last error.
    const bool fail = (attributes == SE_PRIVILEGE_ENABLED && script.failAt == "enable") ||
                      (attributes == 0 && script.failAt == "disable");
    script.lastError = fail ? ERROR_NOT_ALL_ASSIGNED : 0;
    return TRUE;
}

DWORD WINAPI FakeGetLastError() { return script.lastError; }

BOOL WINAPI FakeSetSystemTime(const SYSTEMTIME* time) {
    script.calls.push_back("SetSystemTime");
    script.setTo = *time;
    return script.failAt == "set" ? FALSE : TRUE;
}

BOOL WINAPI FakeCloseHandle(HANDLE handle) {
    script.calls.push_back("CloseHandle");
    EXPECT_EQ(handle, kToken);
    --script.openTokens;
    return TRUE;
}

const Win32ClockApi kFake{&FakeGetVersionExA,         &FakeGetCurrentProcess,
                          &FakeOpenProcessToken,      &FakeLookupPrivilegeValueA,
                          &FakeAdjustTokenPrivileges, &FakeGetLastError,
                          &FakeSetSystemTime,         &FakeCloseHandle};

constexpr SystemTime kValid{2026, 12, 0, 6, 13, 5, 2, 0};

struct PrivilegeCase {
    const char* name;
    DWORD platform;
    const char* failAt;
    SystemTime time;
    int code;
    std::vector<std::string> calls;
};

class Win32SystemClockTest : public ::testing::TestWithParam<PrivilegeCase> {};

TEST_P(Win32SystemClockTest, PrivilegeSequenceAndTokenBalance) {
    const PrivilegeCase& c = GetParam();
    script = Script{};
    script.platform = c.platform;
    script.failAt = c.failAt;

    EXPECT_EQ(SetSystemClockWith(kFake, c.time), c.code);
    EXPECT_EQ(script.calls, c.calls);
    EXPECT_EQ(script.openTokens, 0) << "token handle leaked or closed twice";
}

const std::vector<std::string> kEnable = {"GetVersionExA 148", "OpenProcessToken 40",
                                          "LookupPrivilegeValueA SeSystemtimePrivilege",
                                          "AdjustTokenPrivileges 2"};

std::vector<std::string> Then(std::vector<std::string> calls, std::initializer_list<const char*> more) {
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Win32SystemClockTest,
    ::testing::Values(
        PrivilegeCase{"Set", VER_PLATFORM_WIN32_NT, "", kValid, 0,
                      Then(kEnable, {"SetSystemTime", "AdjustTokenPrivileges 0", "CloseHandle"})},
        PrivilegeCase{"OpenFails", VER_PLATFORM_WIN32_NT, "open", kValid, 1,
                      {"GetVersionExA 148", "OpenProcessToken 40"}},
        PrivilegeCase{"LookupFails", VER_PLATFORM_WIN32_NT, "lookup", kValid, 2,
                      {"GetVersionExA 148", "OpenProcessToken 40",
                       "LookupPrivilegeValueA SeSystemtimePrivilege", "CloseHandle"}},
        PrivilegeCase{"NoPrivilege", VER_PLATFORM_WIN32_NT, "enable", kValid, 3,
                      Then(kEnable, {"CloseHandle"})},
        // Refused: the privilege is left enabled, as the sequence has it.
        PrivilegeCase{"SetRefused", VER_PLATFORM_WIN32_NT, "set", kValid, 4,
                      Then(kEnable, {"SetSystemTime", "CloseHandle"})},
        PrivilegeCase{"OutOfRangeNeverReachesTheClock", VER_PLATFORM_WIN32_NT, "",
                      SystemTime{2026, 14, 0, 1, 23, 30, 0, 0}, 4, Then(kEnable, {"CloseHandle"})},
        PrivilegeCase{"DisableFails", VER_PLATFORM_WIN32_NT, "disable", kValid, 5,
                      Then(kEnable, {"SetSystemTime", "AdjustTokenPrivileges 0", "CloseHandle"})},
        PrivilegeCase{"NinetyFiveFamily", VER_PLATFORM_WIN32_WINDOWS, "", kValid, 0,
                      {"GetVersionExA 148", "SetSystemTime"}},
        PrivilegeCase{"NinetyFiveFamilyRefused", VER_PLATFORM_WIN32_WINDOWS, "set", kValid, 4,
                      {"GetVersionExA 148", "SetSystemTime"}},
        PrivilegeCase{"NinetyFiveFamilyOutOfRange", VER_PLATFORM_WIN32_WINDOWS, "",
                      SystemTime{0, 6, 0, 15, 11, 30, 0, 0}, 4, {"GetVersionExA 148"}}),
    [](const ::testing::TestParamInfo<PrivilegeCase>& param) { return std::string(param.param.name); });

TEST(Win32SystemClock, PassesTheFieldsThrough) {
    script = Script{};
    ASSERT_EQ(SetSystemClockWith(kFake, kValid), 0);
    EXPECT_EQ(script.setTo.wYear, 2026);
    EXPECT_EQ(script.setTo.wMonth, 12);
    EXPECT_EQ(script.setTo.wDay, 6);
    EXPECT_EQ(script.setTo.wHour, 13);
    EXPECT_EQ(script.setTo.wMinute, 5);
    EXPECT_EQ(script.setTo.wSecond, 2);
    EXPECT_EQ(script.setTo.wMilliseconds, 0);
}

}  // namespace
