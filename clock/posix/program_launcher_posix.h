// Starting the file-server setter on Linux: no shell, so no word of the
// command line is ever interpreted, and nothing is awaited.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdio>
#include <memory>
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
    PosixProgramLauncher(std::string ownDirectory, std::optional<std::string> searchPath,
                         std::FILE* messages = stderr);

    // The child's process id, or -1 when the program is missing or did not
    // start (which is not reported), or while the last one still runs (said
    // on `messages` once for it). A thread of its own reaps each child, so
    // none is left a zombie and the caller never waits.
    pid_t Launch(std::string_view commandLine);

private:
    std::string ownDirectory_;
    std::optional<std::string> searchPath_;
    std::FILE* messages_;
    // The child still running, 0 when none; its reaper clears it, and may outlive us.
    std::shared_ptr<std::atomic<pid_t>> running_ = std::make_shared<std::atomic<pid_t>>(0);
    bool refusalSaid_ = false;
};
