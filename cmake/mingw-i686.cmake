# Cross toolchain for i686-w64-mingw32, 32-bit Windows: the program's real target.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CHRONVK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
