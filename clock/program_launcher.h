// Starts another program from a Windows-style command line and leaves it to
// itself: nothing is awaited and a program that cannot start is not reported.
#pragma once

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual void Launch(const char* commandLine) = 0;
};

// WinExec on Windows; posix_spawn without a shell elsewhere.
ProgramLauncher& PlatformProgramLauncher();
