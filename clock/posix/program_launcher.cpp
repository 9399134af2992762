#include "clock/posix/program_launcher_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "clock/program_launcher.h"

extern char** environ;

namespace {

// The words of a Windows-style command line; runs of spaces separate them.
std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        while (i < commandLine.size() && commandLine[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < commandLine.size() && commandLine[i] != ' ') ++i;
        if (i > start) words.emplace_back(commandLine.substr(start, i - start));
    }
    return words;
}

// The Linux name of a Windows program: "CHRONVNW.EXE" is "chronvnw".
std::string LinuxProgramName(std::string_view windowsName) {
    std::string name;
    for (char c : windowsName) {
        name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    constexpr std::string_view kExe = ".exe";
    if (name.size() > kExe.size() && name.ends_with(kExe)) name.resize(name.size() - kExe.size());
    return name;
}

// The directory of the running executable, or "" when it cannot be told.
std::string OwnExecutableDirectory() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    const std::string executable(path, static_cast<std::size_t>(length));
    const std::size_t slash = executable.rfind('/');
    return slash == std::string::npos ? std::string{} : executable.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string InDirectory(std::string_view directory, const std::string& program) {
    if (directory.empty()) return "./" + program;
    std::string path(directory);
    if (path.back() != '/') path += '/';
    return path + program;
}

// Waits for the child on a thread of its own, and then clears `running`: the
// window thread never blocks, and no signal disposition of the whole process
// is changed. False when no thread could be had: the child then stays a
// zombie until we exit, which is better than blocking the window thread on it.
bool ReapLater(pid_t child, const std::shared_ptr<std::atomic<pid_t>>& running) {
    try {
        std::thread([child, running] {
            int status = 0;
            while (waitpid(child, &status, 0) == -1 && errno == EINTR) {
            }
            running->store(0);
        }).detach();
        return true;
    } catch (...) {
        return false;
    }
}

// The setter's standard streams are /dev/null, so that it neither takes our
// terminal's keys nor writes over the screen, and nothing else of ours
// reaches it: no descriptor above them stays open across the exec.
class SpawnFiles {
public:
    SpawnFiles() {
        initialised_ = posix_spawn_file_actions_init(&actions_) == 0;
        ok_ = initialised_ && posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0 &&
              posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
    }
    ~SpawnFiles() {
        if (initialised_) posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnFiles(const SpawnFiles&) = delete;
    SpawnFiles& operator=(const SpawnFiles&) = delete;

    const posix_spawn_file_actions_t* get() const { return ok_ ? &actions_ : nullptr; }

private:
    posix_spawn_file_actions_t actions_{};
    bool initialised_ = false;
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        ok_ = posix_spawnattr_init(&attributes_) == 0;
        if (!ok_) return;
        // The child starts with no blocked signals and default handling of
        // the ones a terminal program usually changes, whatever this thread has.
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGCHLD);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        posix_spawnattr_setflags(&attributes_,
                                 static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
    }
    ~SpawnAttributes() {
        if (ok_) posix_spawnattr_destroy(&attributes_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return ok_ ? &attributes_ : nullptr; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

}  // namespace

std::string FindProgram(const std::string& program, const std::string& ownDirectory,
                        std::string_view searchPath) {
    if (program.empty() || program.find('/') != std::string::npos) return {};
    if (!ownDirectory.empty()) {
        std::string candidate = InDirectory(ownDirectory, program);
        if (IsExecutableFile(candidate)) return candidate;
    }
    if (searchPath.empty()) return {};
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string_view::npos) end = searchPath.size();
        std::string candidate = InDirectory(searchPath.substr(start, end - start), program);
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

PosixProgramLauncher::PosixProgramLauncher(std::string ownDirectory, std::optional<std::string> searchPath,
                                           std::FILE* messages)
    : ownDirectory_(std::move(ownDirectory)), searchPath_(std::move(searchPath)), messages_(messages) {}

pid_t PosixProgramLauncher::Launch(std::string_view commandLine) {
    // One that hangs would otherwise pile up a process a minute.
    if (const pid_t running = running_->load(); running != 0) {
        if (!refusalSaid_ && messages_) {
            std::fprintf(messages_, "chronvk: the file-server setter (process %d) still runs; starting no other\n",
                         static_cast<int>(running));
        }
        refusalSaid_ = true;
        return -1;
    }
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return -1;
    words[0] = LinuxProgramName(words[0]);

    std::string searchPath;
    if (searchPath_) {
        searchPath = *searchPath_;
    } else if (const char* path = std::getenv("PATH")) {
        searchPath = path;
    }
    const std::string program = FindProgram(words[0], ownDirectory_, searchPath);
    if (program.empty()) return -1;

    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const SpawnAttributes attributes;
    const SpawnFiles files;
    pid_t child = -1;
    if (!files.get() ||
        posix_spawn(&child, program.c_str(), files.get(), attributes.get(), argv.data(), environ) != 0) {
        return -1;
    }
    // Marked before its reaper may clear it.
    running_->store(child);
    refusalSaid_ = false;
    if (!ReapLater(child, running_)) running_->store(0);
    return child;
}

namespace {
class SpawningLauncher final : public ProgramLauncher {
public:
    void Launch(const char* commandLine) override { launcher_.Launch(commandLine); }

private:
    PosixProgramLauncher launcher_{OwnExecutableDirectory(), std::nullopt};
};
}  // namespace

ProgramLauncher& PlatformProgramLauncher() {
    static SpawningLauncher launcher;
    return launcher;
}
