# Cross toolchain for x86_64-w64-mingw32, the 64-bit twin.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CHRONVK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
