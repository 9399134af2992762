#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "clock/posix/program_launcher_posix.h"
#include "clock_test_dir.h"

namespace {

// The setter stand-in writes its process id and each argument on a line,
// then moves the file into place so it is never seen half-written.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/args.txt\"\n"
    "{ echo \"$$\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$out.tmp\"\n"
    "mv \"$out.tmp\" \"$out\"\n";

void WriteProgram(const std::filesystem::path& path, const char* text, bool executable = true) {
    std::ofstream(path) << text;
    chmod(path.c_str(), executable ? 0755 : 0644);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

// A real child process: wait for what it does, with a deadline so a fault
// fails the test rather than hanging it.
template <typename Done>
bool WaitUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// True while the process exists, a zombie included.
bool ProcessExists(pid_t pid) {
    return std::filesystem::exists("/proc/" + std::to_string(pid));
}

TEST(PosixProgramLauncher, StartsTheSetterWithItsWordsAndLeavesNoZombie) {
    ScratchDirectory dir;
    WriteProgram(dir.path() / "chronvnw", kRecorder);
    PosixProgramLauncher launcher(dir.path().string(), std::string{});

    const pid_t child = launcher.Launch("CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7");
    ASSERT_GT(child, 0);
    const std::string args = dir.File("args.txt");
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(args); }));
    EXPECT_EQ(Lines(ReadWholeFile(args)),
              (std::vector<std::string>{std::to_string(child), "xnQWT58/bemp", "1", "123456", "5",
                                        "3", "98", "14", "7"}));
    // Reaped without anyone waiting for it: the process entry goes away.
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(child); }));
}

TEST(PosixProgramLauncher, NoShellInterpretsAnyWord) {
    ScratchDirectory dir;
    WriteProgram(dir.path() / "chronvnw", kRecorder);
    PosixProgramLauncher launcher(dir.path().string(), std::string{});

    const pid_t child = launcher.Launch("CHRONVNW.EXE $(touch${IFS}pwned) ;false *");
    ASSERT_GT(child, 0);
    const std::string args = dir.File("args.txt");
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(args); }));
    EXPECT_EQ(Lines(ReadWholeFile(args)),
              (std::vector<std::string>{std::to_string(child), "$(touch${IFS}pwned)", ";false",
                                        "*"}));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pwned"));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(child); }));
}

TEST(PosixProgramLauncher, MissingProgramIsSilent) {
    ScratchDirectory dir;
    PosixProgramLauncher launcher(dir.path().string(), dir.path().string());
    EXPECT_EQ(launcher.Launch("CHRONVNW.EXE xnQWT58/bemp 0  1  2  3  4  5  6"), -1);
    EXPECT_EQ(launcher.Launch(""), -1);
}

TEST(FindProgram, OwnDirectoryFirstThenSearchPath) {
    ScratchDirectory own;
    ScratchDirectory other;
    const std::string ownDir = own.path().string();
    const std::string otherDir = other.path().string();
    const std::string path = "/nonexistent-chronvk-dir:" + otherDir;

    EXPECT_EQ(FindProgram("chronvnw", ownDir, path), "");
    WriteProgram(other.path() / "chronvnw", kRecorder);
    EXPECT_EQ(FindProgram("chronvnw", ownDir, path), otherDir + "/chronvnw");
    WriteProgram(own.path() / "chronvnw", kRecorder, /*executable=*/false);
    EXPECT_EQ(FindProgram("chronvnw", ownDir, path), otherDir + "/chronvnw");
    WriteProgram(own.path() / "chronvnw", kRecorder);
    EXPECT_EQ(FindProgram("chronvnw", ownDir, path), ownDir + "/chronvnw");
    // A name with a directory in it is never looked up.
    EXPECT_EQ(FindProgram("../chronvnw", ownDir, path), "");
    // A directory of that name is not a program.
    std::filesystem::create_directory(other.path() / "sub");
    EXPECT_EQ(FindProgram("sub", "", otherDir), "");
}

TEST(CommandLineWords, SplitOnRunsOfSpacesAndNameTheLinuxProgram) {
    EXPECT_EQ(SplitCommandLine(" CHRONVNW.EXE xnQWT58/bemp 1  2   3 "),
              (std::vector<std::string>{"CHRONVNW.EXE", "xnQWT58/bemp", "1", "2", "3"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
    EXPECT_EQ(LinuxProgramName("CHRONVNW.EXE"), "chronvnw");
    EXPECT_EQ(LinuxProgramName("Tool.exe"), "tool");
    EXPECT_EQ(LinuxProgramName(".EXE"), ".exe");
}

}  // namespace
