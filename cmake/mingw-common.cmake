# Shared by the mingw-w64 toolchain files, which set CHRONVK_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first. Debian's "-posix" compilers: their libstdc++ has
# std::thread and std::mutex, which the win32-threads flavour lacks.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${CHRONVK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CHRONVK_MINGW_TRIPLE}-g++-posix)
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
