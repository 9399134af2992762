# Shared by the mingw-w64 toolchain files, which set CHRONVK_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.
#
# Debian's "-win32" compilers (win32 thread model), not the "-posix" ones: a
# static link with the posix flavour drags in winpthreads (libstdc++'s guarded
# statics, the unwinder and emutls all call it), and winpthreads imports
# GetTickCount64, which Windows XP's kernel32 lacks, so the XP loader refuses
# the program. The price: gcc 12's win32 flavour has no std::thread, std::mutex
# or std::condition_variable, and std::this_thread::yield() does nothing.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${CHRONVK_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${CHRONVK_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${CHRONVK_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${CHRONVK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: every .exe stands alone, without libstdc++-6.dll,
# libgcc_s_*.dll or libwinpthread-1.dll beside it (Wine could not find them either).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest and add_custom_command run the .exe files through Wine, in a prefix
# that lives inside this build directory and is made on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wineprefix")
