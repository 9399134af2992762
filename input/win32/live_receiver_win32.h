// The console's control handler of the live receiver, for its tests.
#pragma once

#include <windows.h>

// Ctrl-C and Ctrl-Break end the reception. For a closed console, a log-off or
// a shutdown Windows ends the process once the handler returns, so it returns
// only when the port is closed (the receiver switched off) or a bounded wait
// has passed.
BOOL WINAPI OnConsoleControl(DWORD event);
