// The profile on Linux: an INI file with WIN.INI's habits. Section and key
// names match without regard to case, ';' and '#' start comments, and every
// line the program does not understand or own is written back as it was.
// Each change rewrites the file atomically (a temporary file beside it,
// fsync, rename), so a crash leaves the old file or the new one, never half.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "input/profile_reader.h"
#include "ui/dialog_seams.h"

class IniFile {
public:
    // Warnings about malformed lines go to `warnings` (nullptr: nowhere).
    explicit IniFile(std::string path, std::FILE* warnings = stderr);

    // Reads the file; a missing file is an empty profile. False when it
    // exists but cannot be read.
    bool Load();
    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    // Sets the key (adding it, and its section, when missing) and writes the
    // file; false when the file could not be replaced.
    bool Set(const std::string& section, const std::string& key, const std::string& value);
    const std::string& Path() const { return path_; }

private:
    struct Line {
        std::string text;
        std::string section;  // the section it lies in
        std::string key;      // empty: no key line
        std::string value;
    };
    bool Write() const;

    std::string path_;
    std::FILE* warnings_;
    std::vector<Line> lines_;
};

// The dialog's settings (section CHRONVK) and the port devices
// (CHRONVK-PORTS) from one INI file.
class IniProfile final : public Profile, public ProfileReader {
public:
    explicit IniProfile(IniFile& file) : file_(file) {}
    int32_t GetInt(const char* key, int32_t defaultValue) override;
    void WriteString(const char* key, const char* value) override;
    bool ReadString(const char* section, const char* key, std::string& value) const override;

private:
    IniFile& file_;
};

// --config, else $XDG_CONFIG_HOME/chronvk/chronvk.ini, else
// ~/.config/chronvk/chronvk.ini.
std::string DefaultProfilePath();
