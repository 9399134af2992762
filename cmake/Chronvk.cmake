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
endif()

# chronvk_library(NAME SOURCES...): a static library of one subsystem, its
# directory on the include path as seen from the project root.
function(chronvk_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
