#include "ui/win32/win_seams.h"

#include <cstdio>
#include <cstring>

#include "clock/win32/program_folder.h"
#include "ui/resource_ids.h"

int32_t WinIniProfile::GetInt(const char* key, int32_t defaultValue) {
    return static_cast<int32_t>(GetProfileIntA(PROFILE_SECTION, key, defaultValue));
}

void WinIniProfile::WriteString(const char* key, const char* value) {
    WriteProfileStringA(PROFILE_SECTION, key, value);
}

bool WinIniProfile::ReadString(const char* section, const char* key, std::string& value) const {
    char buffer[MAX_PATH];
    const DWORD length = GetProfileStringA(section, key, "", buffer, sizeof buffer);
    if (length == 0) return false;  // a mapping to nothing is no mapping
    value.assign(buffer, length);
    return true;
}

bool WindowsInterfaceLibrary::Load() {
    // The program may run elevated: only the copy beside it is loaded, by its
    // full path, never one that lies in the working folder or on the PATH.
    const std::wstring path = ProgramFilePath("CHRONIFN.DLL");
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    // Nor are the DLLs it needs looked for in the working folder (Windows
    // keeps to this, Wine does not; for the library itself it is no matter).
    SetDllDirectoryA("");
    module_ = LoadLibraryW(path.c_str());
    return module_ != nullptr;
}

bool WindowsInterfaceLibrary::FindEntry() {
    if (module_ == nullptr) return false;
    const FARPROC entry = GetProcAddress(module_, "GETDCFPTR");
    // Through the generic function type, which any entry may be cast from.
    entry_ = reinterpret_cast<GetDcfPtrFn>(reinterpret_cast<void (*)()>(entry));
    return entry_ != nullptr;
}

TDcfState* WindowsInterfaceLibrary::GetDcfPtr(int32_t request) {
    return entry_ != nullptr ? entry_(request) : nullptr;
}

void WindowsInterfaceLibrary::Release() {
    entry_ = nullptr;
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
}

TVersionInfo::TVersionInfo(HMODULE module) {
    // By the wide path: the ANSI one of a folder whose name the code page
    // cannot spell names no file, and the texts would be lost.
    const std::wstring path = ModulePath(module);
    if (path.empty()) return;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return;
    data_ = std::make_unique<char[]>(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data_.get())) {
        data_.reset();
        return;
    }
    void* entry = nullptr;
    UINT entryLength = 0;
    if (!VerQueryValueW(data_.get(), L"\\VarFileInfo\\Translation", &entry, &entryLength) ||
        entryLength < sizeof translation_) {
        noTranslation_ = true;
        data_.reset();
        return;
    }
    std::memcpy(&translation_, entry, sizeof translation_);
}

bool TVersionInfo::GetString(const char* name, std::string& text) const {
    if (!HasData()) return false;
    char path[128];
    const int length = std::snprintf(path, sizeof path, "\\StringFileInfo\\%08lx\\%s",
                                     static_cast<unsigned long>(translation_), name);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
    void* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueW(data_.get(), WideFromAnsi(path).c_str(), &value, &valueLength) || value == nullptr) {
        return false;
    }
    text = AnsiFromWide(static_cast<const wchar_t*>(value));
    return true;
}

VersionStrings::State ResourceVersionStrings::Load() {
    info_ = std::make_unique<TVersionInfo>(module_);
    if (info_->HasData()) return State::HasData;
    return info_->LackedTranslation() ? State::NoTranslationTable : State::NoData;
}

bool ResourceVersionStrings::Get(const char* name, std::string& text) {
    return info_ && info_->GetString(name, text);
}
