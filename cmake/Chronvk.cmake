# Project-wide compile settings and small helpers shared by every directory.

if(MSVC)
  message(FATAL_ERROR "chronvk builds with gcc or mingw-w64 only")
endif()

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
                    -Wcast-align -Wnon-virtual-dtor -Wold-style-cast -Werror)

if(CHRONVK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer needs a build of its own (it cannot be combined with
# AddressSanitizer); it checks the sampler's window and timer threads.
option(CHRONVK_TSAN "Build with ThreadSanitizer" OFF)
if(CHRONVK_TSAN)
  if(CHRONVK_SANITIZE)
    message(FATAL_ERROR "CHRONVK_TSAN and CHRONVK_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(WIN32)
  # The toolchain files link the runtime statically.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  # Released for size: -O3 made the stripped i686 chronvk.exe 414 KB, -Os
  # about 350. Speed is not what it lacks: it keeps a fraction of a percent of
  # one core busy. (After CMake's -O3, so this one counts.)
  add_compile_options($<$<CONFIG:Release>:-Os>)
endif()

# chronvk_library(NAME SOURCES...): a static library of one subsystem, its
# directory on the include path as seen from the project root, and the
# generated chronvk_version.h beside it.
function(chronvk_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
endfunction()

# chronvk_check_xp(TARGET): every shipped Windows program opts in. After each
# link its import table and PE header are read, and the build fails (the .exe
# removed) when Windows XP could not load it: an import not listed in
# cmake/xp-imports.txt, or a header asking for a newer Windows. Elsewhere a no-op.
function(chronvk_check_xp target)
  if(NOT WIN32)
    return()
  endif()
  if(NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "chronvk_check_xp: no objdump for ${CMAKE_CXX_COMPILER}")
  endif()
  set(allowed ${PROJECT_SOURCE_DIR}/cmake/xp-imports.txt)
  set(script ${PROJECT_SOURCE_DIR}/cmake/check-xp-imports.cmake)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:${target}>
            -DALLOWED=${allowed} -DREMOVE_REFUSED=ON -P ${script}
    VERBATIM)
  # A changed list or check links (and so checks) the program again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${allowed} ${script})
endfunction()
