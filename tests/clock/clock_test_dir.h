// A fresh directory for log files and programs, removed afterwards.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline int scratchDirectories = 0;

struct ScratchDirectory {
    ScratchDirectory() { std::filesystem::create_directories(path); }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const char* name) const { return (path / name).string(); }

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("chronvk-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
         "-" + std::to_string(++scratchDirectories));
};

// The whole file, or "" when it does not exist.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path);  // text mode: the log is a text file on every platform
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
