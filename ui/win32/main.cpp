// chronvk.exe: keeps the PC's clock right from the DCF77 signal.
#include <windows.h>

#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "clock/platform_system_clock.h"
#include "input/port_sampler.h"
#include "ui/command_line.h"
#include "ui/dlg_dcf77.h"
#include "ui/win32/app.h"
#include "ui/win32/win_seams.h"

namespace {

// A window program has no console of its own: the line goes to a standard
// output it was given (a script or a redirection asking), else into a box.
int ShowVersion() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const std::string line = std::string(kVersionLine) + "\r\n";
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) && written == line.size()) {
        return 0;
    }
    MessageBoxExA(nullptr, kVersionLine, "CHRONVK", MB_OK | MB_ICONINFORMATION, LANG_NEUTRAL);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc == 2 && std::strcmp(__argv[1], "--version") == 0) return ShowVersion();
    ApplyCommandLine(__argc, __argv);
    // The manifest asks for the version 6 controls, which XP registers only
    // once comctl32 is loaded.
    InitCommonControls();

    WinIniProfile profile;
    SetPortProfile(&profile);
    // A simulated receiver sends whatever time this machine believes in:
    // while it is the port in use the real clock is never moved.
    PortFollowingClock clock(&PlatformSystemClock());
    WindowsInterfaceLibrary library;
    ResourceVersionStrings version(instance);
    int result = 0;
    {
        dcf77App app(instance, ProgramSeams{clock, SystemMillisecondClock(), PlatformProgramLauncher(), profile,
                                            library, version});
        result = app.Run();
    }
    SetPortProfile(nullptr);
    return result;
}
