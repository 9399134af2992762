#include "ui/posix/ini_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "ui/resource_ids.h"
#include "ui/settings.h"

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

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

}  // namespace

IniFile::IniFile(std::string path, std::FILE* warnings) : path_(std::move(path)), warnings_(warnings) {}

bool IniFile::Load() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    if (!in) return errno == ENOENT || errno == ENOTDIR;
    std::string text, section;
    int number = 0;
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
        } else if (warnings_) {
            std::fprintf(warnings_, "chronvk: %s:%d: ignoring a line that is no section, key or comment\n",
                         path_.c_str(), number);
        }
        lines_.push_back(std::move(line));
    }
    return !in.bad();
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

bool IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    std::size_t insertAt = lines_.size();
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (!SameName(line.section, section)) continue;
        if (!line.key.empty() && SameName(line.key, key)) {
            line.text = line.key + "=" + value;
            line.value = value;
            return Write();
        }
        sectionFound = true;
        // After the section's last non-blank line, so a blank line before the next section stays.
        if (!Trim(line.text).empty()) insertAt = i + 1;
    }
    if (!sectionFound) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", lines_.back().section, {}, {}});
        lines_.push_back({"[" + section + "]", section, {}, {}});
        insertAt = lines_.size();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Line{key + "=" + value, section, key, value});
    return Write();
}

bool IniFile::Write() const {
    std::string text;
    for (const Line& line : lines_) text += line.text + "\n";
    MakeParents(path_);
    std::string temp = path_ + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    const bool written = WriteAll(fd, text) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    if (close(fd) != 0 || !written || rename(temp.c_str(), path_.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk too.
    const auto slash = path_.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
    const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
