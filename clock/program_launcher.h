// Starts another program from a Windows-style command line and leaves it to
// itself: nothing is awaited and a program that cannot start is not reported.
#pragma once

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    virtual void Launch(const char* commandLine) = 0;
};

// On Windows the program beside this one, by CreateProcessW; posix_spawn
// without a shell elsewhere.
ProgramLauncher& PlatformProgramLauncher();
