#include "clock/program_launcher.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "clock/win32/program_folder.h"

namespace {
class FolderLauncher final : public ProgramLauncher {
public:
    void Launch(const char* commandLine) override {
        // The program may run elevated: its first word names a program beside
        // it, never one searched for in the working folder or on the PATH,
        // where anybody may have planted one of that name. The command line
        // itself reaches the program unchanged.
        const std::string_view line(commandLine);
        const std::wstring program = ProgramFilePath(line.substr(0, line.find(' ')));
        if (program.empty()) return;
        std::wstring command = WideFromAnsi(line);  // CreateProcessW may write into it
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINIMIZED;
        PROCESS_INFORMATION started{};
        // A missing program is not reported; nothing is awaited.
        if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
            return;
        }
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
};
}  // namespace

ProgramLauncher& PlatformProgramLauncher() {
    static FolderLauncher launcher;
    return launcher;
}
