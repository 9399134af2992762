#include "clock/program_launcher.h"

#include <windows.h>

namespace {
class WinExecLauncher final : public ProgramLauncher {
public:
    void Launch(const char* commandLine) override {
        // A missing program is not reported; nothing is awaited.
        WinExec(commandLine, SW_SHOWMINIMIZED);
    }
};
}  // namespace

ProgramLauncher& PlatformProgramLauncher() {
    static WinExecLauncher launcher;
    return launcher;
}
