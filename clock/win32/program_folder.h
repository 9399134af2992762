// The program's own files, found through its wide-character module path: a
// folder whose name the ANSI code page cannot spell is found all the same, and
// nothing is looked for in the working folder or on the PATH, where anybody
// may have put a file of the same name.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The full path of `module` (null: the program); empty when it cannot be told.
std::wstring ModulePath(HMODULE module);
// The full path of the file `name` beside the program; empty when the
// program's own path cannot be told.
std::wstring ProgramFilePath(std::string_view name);

// Between the ANSI code page and UTF-16.
std::wstring WideFromAnsi(std::string_view text);
std::string AnsiFromWide(std::wstring_view text);
