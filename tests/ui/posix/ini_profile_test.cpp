// The settings file: what the program does not own survives its saves, a file
// it could not read is never written, and a save that fails leaves the old file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "input/port_table.h"
#include "tests/clock/clock_test_dir.h"
#include "ui/posix/ini_profile.h"

namespace {

namespace fs = std::filesystem;

class IniProfileTest : public ::testing::Test {
protected:
    ~IniProfileTest() override { std::fclose(messages_); }
    void Write(const std::string& text) { std::ofstream(path_) << text; }
    std::string Read() { return ReadWholeFile(path_); }
    // All the file said so far.
    std::string Said() {
        std::fflush(messages_);
        return ReadWholeFile("/proc/self/fd/" + std::to_string(fileno(messages_)));
    }
    const ScratchDirectory dir;
    std::string path_ = dir.File("chronvk.ini");
    std::FILE* messages_ = std::tmpfile();
};

TEST_F(IniProfileTest, KeysAreFoundWithoutRegardToCaseAndEditsMadeMeanwhileSurviveTheSave) {
    std::string broken;
    for (int i = 0; i < 11; ++i) broken += "broken\n";
    Write("; set by hand\n[chronvk-ports]\ncom1 = /dev/ttyUSB0\n\n[Chronvk]\n# mine\nutc=1\ncycle=0x1F\n" + broken);
    IniFile file(path_, messages_);
    ASSERT_TRUE(file.Load());
    // Ten broken lines named, the eleventh counted.
    const std::string said = Said();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 11) << said;
    EXPECT_TRUE(said.ends_with("ignoring 1 more such lines\n")) << said;

    IniProfile profile(file);
    std::string device;
    ASSERT_TRUE(profile.ReadString(kPortsSection, "COM1", device));
    EXPECT_EQ(device, "/dev/ttyUSB0");
    EXPECT_EQ(profile.GetInt("UTC", 0), 1);
    EXPECT_EQ(profile.GetInt("CYCLE", 0), 31);

    profile.WriteString("UTC", "0");
    profile.WriteString("COM", "2");
    // Edited by hand while the program runs: a port, a comment, one of our keys.
    Write("; set by hand\n[chronvk-ports]\ncom1 = /dev/ttyUSB1\n\n[Chronvk]\n# yours\nutc=1\nSTRICT=1\n\n"
          "[Other]\nUTC=7\n" + broken);
    ASSERT_TRUE(profile.Save());
    EXPECT_EQ(Read(), "; set by hand\n[chronvk-ports]\ncom1 = /dev/ttyUSB1\n\n[Chronvk]\n# yours\nutc=0\nSTRICT=1\n"
                      "COM=2\n\n[Other]\nUTC=7\n" + broken);
}

// A folder stands for every file that cannot be read (mode 000 does not stop
// root); the FIFO, which would block, the headless test tries.
TEST_F(IniProfileTest, AFileThatCannotBeReadIsNeverWritten) {
    fs::create_directory(path_);
    IniFile file(path_, messages_);
    EXPECT_FALSE(file.Load());
    file.Set("CHRONVK", "COM", "2");
    EXPECT_FALSE(file.Save());
    const std::string said = Said();
    EXPECT_NE(said.find(": cannot read ("), std::string::npos) << said;
    EXPECT_TRUE(said.ends_with("settings not saved: it could not be read at the start\n")) << said;
    EXPECT_TRUE(fs::is_directory(path_));
}

TEST_F(IniProfileTest, ASaveGoesThroughASymbolicLinkAndKeepsModeAndOwner) {
    fs::create_directory(dir.path / "real");
    const std::string target = dir.File("real/chronvk.ini");
    std::ofstream(target) << "[CHRONVK]\nCOM=1\n";
    chmod(target.c_str(), 0604);
    const bool root = geteuid() == 0;
    ASSERT_TRUE(!root || chown(target.c_str(), 4321, 4322) == 0);
    fs::create_symlink("real/chronvk.ini", path_);
    IniFile file(path_, nullptr);
    ASSERT_TRUE(file.Load());
    file.Set("CHRONVK", "COM", "2");
    ASSERT_TRUE(file.Save());
    EXPECT_TRUE(fs::is_symlink(path_));
    struct stat info{};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_TRUE(!root || (info.st_uid == 4321 && info.st_gid == 4322));
    EXPECT_EQ(ReadWholeFile(target), "[CHRONVK]\nCOM=2\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "real"), fs::directory_iterator()), 1);
}

TEST_F(IniProfileTest, OnlyTheDefaultPlaceHasItsMissingFolderMade) {
    for (const bool makeFolder : {true, false}) {
        path_ = (dir.path / (makeFolder ? "made" : "typo") / "deeper" / "chronvk.ini").string();
        IniFile file(path_, nullptr, makeFolder);
        ASSERT_TRUE(file.Load());
        file.Set("CHRONVK", "AUTOEND", "0");
        EXPECT_EQ(file.Save(), makeFolder);
        EXPECT_EQ(Read(), makeFolder ? "[CHRONVK]\nAUTOEND=0\n" : "");
    }
}

TEST_F(IniProfileTest, AWriteCutShortLeavesTheOldFileAndNoLitter) {
    Write("[CHRONVK]\nCYCLE=60\n");
    IniFile file(path_, nullptr);
    ASSERT_TRUE(file.Load());
    file.Set("CHRONVK", "COMMENT", std::string(64, 'x'));
    // A file-size limit below the new file's size: the write stops half-way.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 24;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = file.Save();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Read(), "[CHRONVK]\nCYCLE=60\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

}  // namespace
