// The Windows port layer against real files (under Wine in the cross builds).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "input/port_devices.h"
#include "input/port_sampler.h"
#include "tests/support/memory_profile.h"

namespace {

TEST(Win32Ports, AMappedRegularFileIsRefusedAndLeftAlone) {
    char directory[MAX_PATH];
    char path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameA(directory, "cvk", 0, path), 0u);
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "notes\r\n", 7, &written, nullptr));
    CloseHandle(file);

    MemoryProfile profile;
    profile.Set(kPortsSection, "COM1", path);
    profile.Set(kPortsSection, "LPT1", path);
    SetPortProfile(&profile);
    EXPECT_FALSE(OpenPort(nullptr, 1));
    ClosePort();
    EXPECT_FALSE(OpenPort(nullptr, 11));
    ClosePort();
    SetPortProfile(nullptr);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(path, GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 7u);
    DeleteFileA(path);
}

}  // namespace
