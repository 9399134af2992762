// chronvk.exe: keeps the PC's clock right from the DCF77 signal.
#include <windows.h>

#include <commctrl.h>
#include <cstdlib>

#include "clock/platform_system_clock.h"
#include "input/port_sampler.h"
#include "ui/command_line.h"
#include "ui/win32/app.h"
#include "ui/win32/win_seams.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
