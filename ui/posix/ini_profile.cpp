#include "ui/posix/ini_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "ui/resource_ids.h"
#include "ui/settings.h"

namespace {

// The first malformed lines are named one by one; of a file full of them the
// rest are only counted, so that the warnings do not drown everything else.
constexpr int kWarnedLines = 10;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string Reason(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

// Creates every missing directory above `path`.
void MakeParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0700);
    }
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The whole file; empty when there is none. False, with the reason, when it
// cannot be read. Never waits: a FIFO is refused, not opened for good.
bool ReadWhole(const std::string& path, std::string& text, std::string& why) {
    text.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        why = std::strerror(error);
        return error == ENOENT;
    }
    struct stat info{};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    why = ok ? "" : "not a regular file";
    char buffer[4096];
    for (ssize_t got = 1; ok && got != 0;) {
        got = read(fd, buffer, sizeof buffer);
        if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
        if (got < 0 && errno != EINTR) {
            why = std::strerror(errno);
            ok = false;
        }
    }
    close(fd);
    return ok;
}

// Where a write through `path` lands: the end of its chain of symbolic links.
bool FollowLinks(const std::string& path, std::string& target, std::string& why) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info{};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        char link[PATH_MAX];
        const ssize_t length = readlink(target.c_str(), link, sizeof link - 1);
        if (length < 0) {
            why = Reason("cannot read the link " + target);
            return false;
        }
        const std::string next(link, static_cast<std::size_t>(length));
        target = next[0] == '/' ? next : FolderOf(target) + "/" + next;
    }
    why = "too many symbolic links";
    return false;
}

}  // namespace

IniFile::IniFile(std::string path, std::FILE* messages, bool makeFolder)
    : path_(std::move(path)), messages_(messages), makeFolder_(makeFolder) {}

bool IniFile::Load() {
    std::string text, why;
    readable_ = ReadWhole(path_, text, why);
    if (!readable_ && messages_) {
        std::fprintf(messages_, "chronvk: %s: cannot read (%s): running on the defaults, the file stays as it is\n",
                     path_.c_str(), why.c_str());
    }
    lines_ = Parse(text, messages_);
    return readable_;
}

std::vector<IniFile::Line> IniFile::Parse(const std::string& whole, std::FILE* warnings) const {
    std::vector<Line> lines;
    std::istringstream in(whole);
    std::string text, section;
    int number = 0, malformed = 0;
    while (std::getline(in, text)) {
        ++number;
        Line line{text, section, {}, {}};
        const std::string trimmed = Trim(text);
        if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') {
            // blank or comment
        } else if (trimmed[0] == '[' && trimmed.back() == ']') {
            section = line.section = Trim(trimmed.substr(1, trimmed.size() - 2));
        } else if (const auto equals = trimmed.find('='); equals != std::string::npos && equals > 0) {
            line.key = Trim(trimmed.substr(0, equals));
            line.value = Trim(trimmed.substr(equals + 1));
        } else if (++malformed <= kWarnedLines && warnings) {
            std::fprintf(warnings, "chronvk: %s:%d: ignoring a line that is no section, key or comment\n",
                         path_.c_str(), number);
        }
        lines.push_back(std::move(line));
    }
    if (warnings && malformed > kWarnedLines) {
        std::fprintf(warnings, "chronvk: %s: ignoring %d more such lines\n", path_.c_str(), malformed - kWarnedLines);
    }
    return lines;
}

bool IniFile::Get(const std::string& section, const std::string& key, std::string& value) const {
    for (const Line& line : lines_) {
        if (!line.key.empty() && SameName(line.section, section) && SameName(line.key, key)) {
            value = line.value;
            return true;
        }
    }
    return false;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    changes_.push_back({section, key, value});
    Apply(lines_, changes_.back());
}

void IniFile::Apply(std::vector<Line>& lines, const Change& change) {
    std::size_t insertAt = lines.size();
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Line& line = lines[i];
        if (!SameName(line.section, change.section)) continue;
        if (!line.key.empty() && SameName(line.key, change.key)) {
            line.text = line.key + "=" + change.value;
            line.value = change.value;
            return;
        }
        sectionFound = true;
        // After the section's last non-blank line, so a blank line before the next section stays.
        if (!Trim(line.text).empty()) insertAt = i + 1;
    }
    if (!sectionFound) {
        if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back({"", lines.back().section, {}, {}});
        lines.push_back({"[" + change.section + "]", change.section, {}, {}});
        insertAt = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                 Line{change.key + "=" + change.value, change.section, change.key, change.value});
}

bool IniFile::Save() {
    if (changes_.empty()) return true;
    std::string before, why = "it could not be read at the start";
    bool saved = readable_ && ReadWhole(path_, before, why);
    std::vector<Line> lines;
    if (saved) {
        lines = Parse(before, nullptr);
        for (const Change& change : changes_) Apply(lines, change);
        std::string after;
        for (const Line& line : lines) after += line.text + "\n";
        saved = after == before || Replace(after, why);
    }
    if (!saved) {
        if (messages_) std::fprintf(messages_, "chronvk: %s: settings not saved: %s\n", path_.c_str(), why.c_str());
        return false;
    }
    lines_ = std::move(lines);
    changes_.clear();
    return true;
}

bool IniFile::Replace(const std::string& text, std::string& why) const {
    if (makeFolder_) MakeParents(path_);
    std::string target;
    if (!FollowLinks(path_, target, why)) return false;
    struct stat old{};
    const bool existed = stat(target.c_str(), &old) == 0;
    const std::string folder = FolderOf(target);
    std::string temp = target + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        why = Reason("cannot create a file in " + folder);
        return false;
    }
    why.clear();
    if (!WriteAll(fd, text)) {
        why = Reason("cannot write " + temp);
    } else if (existed && fchown(fd, old.st_uid, old.st_gid) != 0) {
        // The owner before the mode: a change of owner clears the set-id bits.
        why = Reason("cannot give a new file its owner " + std::to_string(old.st_uid) + ":" +
                     std::to_string(old.st_gid));
    } else if (fchmod(fd, existed ? old.st_mode & 07777 : 0644) != 0 || fsync(fd) != 0) {
        why = Reason("cannot write " + temp);
    }
    if (close(fd) != 0 && why.empty()) why = Reason("cannot write " + temp);
    if (why.empty() && rename(temp.c_str(), target.c_str()) != 0) why = Reason("cannot replace " + target);
    if (!why.empty()) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

int32_t IniProfile::GetInt(const char* key, int32_t defaultValue) {
    std::string value;
    if (!file_.Get(PROFILE_SECTION, key, value) || value.empty()) return defaultValue;
    return ProfileIntFromText(value);
}

void IniProfile::WriteString(const char* key, const char* value) { file_.Set(PROFILE_SECTION, key, value); }

bool IniProfile::ReadString(const char* section, const char* key, std::string& value) const {
    return file_.Get(section, key, value);
}

std::string DefaultProfilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/chronvk/chronvk.ini";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/chronvk/chronvk.ini";
}

bool FolderExists(const std::string& path) {
    struct stat info{};
    return stat(FolderOf(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
