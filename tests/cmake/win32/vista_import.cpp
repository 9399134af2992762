// Imports one function that Windows XP's kernel32 lacks: the XP load check
// must refuse this program. It is never run.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // declares GetTickCount64
#include <windows.h>

int main() { return static_cast<int>(GetTickCount64() % 2U); }
