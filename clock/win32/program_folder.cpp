#include "clock/win32/program_folder.h"

namespace {
// The longest path Windows knows of, "\\?\" paths included.
constexpr std::size_t kLongestPath = 32768;
}  // namespace

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // A full buffer may hold a cut-off name: better none than another file's.
        if (path.size() >= kLongestPath) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring ProgramFilePath(std::string_view name) {
    std::wstring path = ModulePath(nullptr);
    const std::size_t folderEnd = path.rfind(L'\\');
    if (folderEnd == std::wstring::npos) return {};
    path.resize(folderEnd + 1);
    return path + WideFromAnsi(name);
}

std::wstring WideFromAnsi(std::string_view text) {
    const int size = static_cast<int>(text.size());
    const int length = size == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string AnsiFromWide(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    const int length =
        size == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(length), '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), length, nullptr, nullptr);
    return ansi;
}
