// Stands in for the file-server setter: writes the command line it was given
// into setter.txt beside itself, so that a test sees which copy ran, and how.
#include <windows.h>

#include <cstdio>
#include <string>

int main() {
    wchar_t path[MAX_PATH];
    std::wstring marker(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    marker.replace(marker.rfind(L'\\') + 1, std::wstring::npos, L"setter.txt");
    FILE* file = _wfopen(marker.c_str(), L"wb");
    return file != nullptr && std::fputs(GetCommandLineA(), file) >= 0 && std::fclose(file) == 0 ? 0 : 1;
}
