// The settings file: what the program does not own survives its writes, and
// a write that fails half-way leaves the old file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "input/port_table.h"
#include "tests/clock/clock_test_dir.h"
#include "ui/posix/ini_profile.h"

namespace {

namespace fs = std::filesystem;

class IniProfileTest : public ::testing::Test {
protected:
    void Write(const std::string& text) { std::ofstream(path_) << text; }
    std::string Read() { return ReadWholeFile(path_); }
    const ScratchDirectory dir;
    std::string path_ = dir.File("chronvk.ini");
};

TEST_F(IniProfileTest, KeysAreFoundWithoutRegardToCaseAndForeignLinesSurviveAWrite) {
    const std::string before =
        "; set by hand\n[chronvk-ports]\ncom1 = /dev/ttyUSB0\n\n[Chronvk]\n# mine\nutc=1\nColour=blue\n"
        "cycle=0x1F\nthis line is broken\n\n[Other]\nUTC=7\n";
    Write(before);
    std::FILE* sink = std::tmpfile();
    IniFile file(path_, sink);
    ASSERT_TRUE(file.Load());
    std::rewind(sink);
    char warning[256] = {};
    ASSERT_TRUE(std::fgets(warning, sizeof warning, sink));
    EXPECT_NE(std::string(warning).find(":10:"), std::string::npos) << warning;
    EXPECT_FALSE(std::fgets(warning, sizeof warning, sink));  // one warning, for the one bad line
    std::fclose(sink);

    IniProfile profile(file);
    std::string device;
    ASSERT_TRUE(profile.ReadString(kPortsSection, "COM1", device));
    EXPECT_EQ(device, "/dev/ttyUSB0");
    EXPECT_EQ(profile.GetInt("UTC", 0), 1);
    EXPECT_EQ(profile.GetInt("CYCLE", 0), 31);

    profile.WriteString("UTC", "0");
    profile.WriteString("COM", "2");
    EXPECT_EQ(Read(),
              "; set by hand\n[chronvk-ports]\ncom1 = /dev/ttyUSB0\n\n[Chronvk]\n# mine\nutc=0\nColour=blue\n"
              "cycle=0x1F\nthis line is broken\nCOM=2\n\n[Other]\nUTC=7\n");
}

TEST_F(IniProfileTest, AMissingFileAndDirectoryGiveDefaultsAndAreMadeOnTheFirstWrite) {
    path_ = (dir.path / "new" / "deeper" / "chronvk.ini").string();
    IniFile file(path_, nullptr);
    ASSERT_TRUE(file.Load());
    IniProfile profile(file);
    EXPECT_EQ(profile.GetInt("AUTOEND", 1), 1);
    profile.WriteString("AUTOEND", "0");
    EXPECT_EQ(Read(), "[CHRONVK]\nAUTOEND=0\n");
}

TEST_F(IniProfileTest, AWriteCutShortLeavesTheOldFileAndNoLitter) {
    Write("[CHRONVK]\nCYCLE=60\n");
    IniFile file(path_, nullptr);
    ASSERT_TRUE(file.Load());
    // A file-size limit below the new file's size: the write stops half-way.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 24;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = file.Set("CHRONVK", "COMMENT", std::string(64, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Read(), "[CHRONVK]\nCYCLE=60\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

}  // namespace
