#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "clock/posix/program_launcher_posix.h"
#include "clock_test_dir.h"

namespace {

namespace fs = std::filesystem;

// The setter stand-in writes its process id and each argument on a line, then
// moves the file into place so that it is never seen half-written.
void WriteRecorder(const fs::path& path) {
    std::ofstream(path) << "#!/bin/sh\n"
                           "{ echo \"$$\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$0.tmp\"\n"
                           "mv \"$0.tmp\" \"$(dirname \"$0\")/args.txt\"\n";
    chmod(path.c_str(), 0755);
}

// A real child process: poll for what it does, with a deadline so that a
// fault fails the test rather than hanging it.
bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 4000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
}

TEST(PosixProgramLauncher, StartsTheSetterWithItsExactWordsAndLeavesNoZombie) {
    ScratchDirectory dir;
    WriteRecorder(dir.path / "chronvnw");
    // No shell: words a shell would expand or split arrive as they stand.
    const pid_t child =
        PosixProgramLauncher(dir.path.string(), std::string{})
            .Launch("CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7 $(id) ;false *");
    ASSERT_GT(child, 0);
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir.path / "args.txt"); }));
    EXPECT_EQ(ReadWholeFile(dir.File("args.txt")),
              std::to_string(child) + "\nxnQWT58/bemp\n1\n123456\n5\n3\n98\n14\n7\n$(id)\n;false\n*\n");
    // Reaped with nobody waiting for it: the process entry, zombie or not, goes away.
    EXPECT_TRUE(Eventually([&] { return !fs::exists("/proc/" + std::to_string(child)); }));
}

// Next to our executable first, then on the path; missing, it is silent.
TEST(PosixProgramLauncher, LooksInItsOwnDirectoryFirstThenOnThePath) {
    ScratchDirectory own, other;
    const std::string path = "/nonexistent-chronvk-dir:" + other.path.string();
    EXPECT_EQ(PosixProgramLauncher(own.path.string(), path).Launch("CHRONVNW.EXE x 0"), -1);
    WriteRecorder(other.path / "chronvnw");
    EXPECT_EQ(FindProgram("chronvnw", own.path.string(), path), other.File("chronvnw"));
    WriteRecorder(own.path / "chronvnw");
    EXPECT_EQ(FindProgram("chronvnw", own.path.string(), path), own.File("chronvnw"));
}

}  // namespace
