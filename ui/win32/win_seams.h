// The dialog's seams as Windows provides them: WIN.INI, the interface
// library CHRONIFN.DLL and the program's own version resource.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "input/profile_reader.h"
#include "ui/dialog_seams.h"

// The section "CHRONVK" of WIN.INI; also answers the port mapping section.
class WinIniProfile final : public Profile, public ProfileReader {
public:
    int32_t GetInt(const char* key, int32_t defaultValue) override;
    void WriteString(const char* key, const char* value) override;
    bool ReadString(const char* section, const char* key, std::string& value) const override;
};

// CHRONIFN.DLL, taken from the program's own folder only.
class WindowsInterfaceLibrary final : public InterfaceLibrary {
public:
    ~WindowsInterfaceLibrary() override { Release(); }
    bool Load() override;
    bool FindEntry() override;
    TDcfState* GetDcfPtr(int32_t request) override;
    void Release() override;

private:
    using GetDcfPtrFn = TDcfState*(__stdcall*)(int32_t);
    HMODULE module_ = nullptr;
    GetDcfPtrFn entry_ = nullptr;
};

// Reads a module's version resource, found by the module's wide path; the
// strings come out in the ANSI code page the dialog's controls are set in.
class TVersionInfo {
public:
    explicit TVersionInfo(HMODULE module);
    virtual ~TVersionInfo() = default;
    TVersionInfo(const TVersionInfo&) = delete;
    TVersionInfo& operator=(const TVersionInfo&) = delete;

    bool HasData() const { return data_ != nullptr; }
    // Data that held no translation table was dropped again.
    bool LackedTranslation() const { return noTranslation_; }
    bool GetProductName(std::string& text) const { return GetString("ProductName", text); }
    bool GetProductVersion(std::string& text) const { return GetString("ProductVersion", text); }
    bool GetLegalCopyright(std::string& text) const { return GetString("LegalCopyright", text); }
    bool GetSpecialBuild(std::string& text) const { return GetString("SpecialBuild", text); }
    bool GetString(const char* name, std::string& text) const;

private:
    uint32_t translation_ = 0;
    std::unique_ptr<char[]> data_;
    bool noTranslation_ = false;
};

// The VersionStrings seam over TVersionInfo of one module.
class ResourceVersionStrings final : public VersionStrings {
public:
    explicit ResourceVersionStrings(HMODULE module) : module_(module) {}
    State Load() override;
    bool Get(const char* name, std::string& text) override;
    void Release() override { info_.reset(); }

private:
    HMODULE module_;
    std::unique_ptr<TVersionInfo> info_;
};
