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
#include "input/edge_log.h"

namespace {

namespace fs = std::filesystem;

// The setter stand-in writes where its standard streams lead, how many of
// its descriptors lead to an edge log, its process id and each argument on a
// line, then moves the file into place so that it is never seen half-written.
void WriteRecorder(const fs::path& path) {
    std::ofstream(path) << "#!/bin/sh\n"
                           "fds=$(readlink /proc/$$/fd/[012]; ls -l /proc/$$/fd | grep -c edges.log)\n"
                           "{ echo \"$fds\"; echo \"$$\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; }"
                           " > \"$0.tmp\"\n"
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

TEST(PosixProgramLauncher, StartsTheSetterWithItsExactWordsAndNothingOfOursAndLeavesNoZombie) {
    ScratchDirectory dir;
    WriteRecorder(dir.path / "chronvnw");
    EdgeRecorder record;
    std::string why;
    ASSERT_TRUE(record.Open(dir.File("edges.log").c_str(), why));
    // No shell: words a shell would expand or split arrive as they stand.
    const pid_t child =
        PosixProgramLauncher(dir.path.string(), std::string{})
            .Launch("CHRONVNW.EXE xnQWT58/bemp 1  123456  5  3  98  14  7 $(id) ;false *");
    ASSERT_GT(child, 0);
    ASSERT_TRUE(Eventually([&] { return fs::exists(dir.path / "args.txt"); }));
    EXPECT_EQ(ReadWholeFile(dir.File("args.txt")),
              "/dev/null\n/dev/null\n/dev/null\n0\n" + std::to_string(child) +
                  "\nxnQWT58/bemp\n1\n123456\n5\n3\n98\n14\n7\n$(id)\n;false\n*\n");
    // Reaped with nobody waiting for it: the process entry, zombie or not, goes away.
    EXPECT_TRUE(Eventually([&] { return !fs::exists("/proc/" + std::to_string(child)); }));
}

TEST(PosixProgramLauncher, StartsNoSecondSetterWhileTheFirstRuns) {
    ScratchDirectory dir;
    std::ofstream(dir.path / "chronvnw") << "#!/bin/sh\n"
                                            "while [ -e \"$0\" ] && [ ! -e \"$0.go\" ]; do sleep 0.05; done\n";
    chmod(dir.File("chronvnw").c_str(), 0755);
    std::FILE* messages = std::fopen(dir.File("said.txt").c_str(), "w");
    PosixProgramLauncher launcher(dir.path.string(), std::string{}, messages);
    ASSERT_GT(launcher.Launch("CHRONVNW.EXE x"), 0);
    EXPECT_EQ(launcher.Launch("CHRONVNW.EXE x"), -1);
    EXPECT_EQ(launcher.Launch("CHRONVNW.EXE x"), -1);
    std::ofstream(dir.path / "chronvnw.go");
    pid_t next = -1;
    EXPECT_TRUE(Eventually([&] { return next > 0 || (next = launcher.Launch("CHRONVNW.EXE x")) > 0; }));
    EXPECT_TRUE(Eventually([&] { return !fs::exists("/proc/" + std::to_string(next)); }));
    std::fclose(messages);
    const std::string said = ReadWholeFile(dir.File("said.txt"));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
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
