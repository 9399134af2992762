// A fresh directory per test for log files, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class ScratchDirectory {
public:
    ScratchDirectory() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        std::string name = std::string("chronvk-") + info->test_suite_name() + "-" + info->name() +
                           "-" + std::to_string(tick);
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The whole file, or "" when it does not exist.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path);  // text mode: the log is a text file on every platform
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
