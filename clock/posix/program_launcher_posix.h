// Starting the file-server setter on Linux: no shell, so no word of the
// command line is ever interpreted, and nothing is awaited.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

// First `program` in `ownDirectory`, then in each directory of `searchPath`
// (colon-separated, an empty entry meaning the current directory); "" if it
// is found nowhere as an executable file.
std::string FindProgram(const std::string& program, const std::string& ownDirectory,
                        std::string_view searchPath);

class PosixProgramLauncher final {
public:
    // No `searchPath`: the environment's PATH at the time of each launch; an
    // empty one: no search beyond `ownDirectory`.
    PosixProgramLauncher(std::string ownDirectory, std::optional<std::string> searchPath);

    // The child's process id, or -1 when the program is missing or did not
    // start (which is not reported). A thread of its own reaps each child, so
    // none is left a zombie and the caller never waits.
    pid_t Launch(std::string_view commandLine);

private:
    std::string ownDirectory_;
    std::optional<std::string> searchPath_;
};
