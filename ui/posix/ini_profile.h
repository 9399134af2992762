// The profile on Linux: an INI file with WIN.INI's habits. Section and key
// names match without regard to case, ';' and '#' start comments, and every
// line the program does not understand or own is written back as it was.
//
// The program's keys are gathered and saved in one go: the file is read again
// then, so what someone changed in it meanwhile stays, and only the keys given
// since the last save are changed. The new file replaces the old atomically (a
// temporary file beside it, fsync, rename), so a crash leaves the old file or
// the new one, never half; through a symbolic link the link's target is
// replaced, with its mode and owner. A file whose owner a new file of ours
// cannot be given (another user's, or a group we are not in) is left as it
// is and the save fails with that reason: changing its owner or writing it in
// place, where a crash would leave half a file, are both worse.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "input/profile_reader.h"
#include "ui/dialog_seams.h"

class IniFile {
public:
    // Warnings and the reasons of failed saves go to `messages` (nullptr:
    // nowhere). `makeFolder`: a save creates missing folders above the file,
    // which only the default place asks for.
    explicit IniFile(std::string path, std::FILE* messages = stderr, bool makeFolder = false);

    // Reads the file; a missing file is an empty profile. False, and said,
    // when it exists but cannot be read or is no regular file (a FIFO would
    // block, a device is nothing to replace): the program runs on the
    // defaults then, and the file is never written.
    bool Load();
    bool Get(const std::string& section, const std::string& key, std::string& value) const;
    // Takes the key's new value (adding the key, and its section, when
    // missing); Save writes it.
    void Set(const std::string& section, const std::string& key, const std::string& value);
    // Writes what Set took since the last save; false, with the reason said,
    // when the file was not written.
    bool Save();
    const std::string& Path() const { return path_; }

private:
    struct Line {
        std::string text;
        std::string section;  // the section it lies in
        std::string key;      // empty: no key line
        std::string value;
    };
    struct Change {
        std::string section, key, value;
    };
    static void Apply(std::vector<Line>& lines, const Change& change);
    std::vector<Line> Parse(const std::string& text, std::FILE* warnings) const;
    bool Replace(const std::string& text, std::string& why) const;

    std::string path_;
    std::FILE* messages_;
    bool makeFolder_;
    bool readable_ = true;
    std::vector<Line> lines_;
    std::vector<Change> changes_;
};

// The dialog's settings (section CHRONVK) and the port devices
// (CHRONVK-PORTS) from one INI file.
class IniProfile final : public Profile, public ProfileReader {
public:
    explicit IniProfile(IniFile& file) : file_(file) {}
    int32_t GetInt(const char* key, int32_t defaultValue) override;
    void WriteString(const char* key, const char* value) override;
    bool Save() override { return file_.Save(); }
    bool ReadString(const char* section, const char* key, std::string& value) const override;

private:
    IniFile& file_;
};

// $XDG_CONFIG_HOME/chronvk/chronvk.ini, else ~/.config/chronvk/chronvk.ini.
std::string DefaultProfilePath();

// Whether the folder that would hold `path` exists.
bool FolderExists(const std::string& path);
