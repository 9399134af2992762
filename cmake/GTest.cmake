# GoogleTest: the host build uses the installed package; the cross builds
# compile it from Debian's source copy (package googletest) with the same
# toolchain, since no mingw build of it is packaged.
if(CMAKE_CROSSCOMPILING)
  set(CHRONVK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
  if(NOT EXISTS ${CHRONVK_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${CHRONVK_GTEST_SOURCE} "
                        "(install the Debian package googletest: scripts/bootstrap.sh)")
  endif()
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)

  # The win32 thread model lacks what GoogleTest's Notification is built on.
  # Our customisation header (see there) must come before GoogleTest's own,
  # both for GoogleTest's sources and for the suites: a directory include
  # path comes before any that a linked target brings.
  include_directories(BEFORE ${CMAKE_CURRENT_LIST_DIR}/gtest-win32)

  # Our warning set (-Wconversion, -Wold-style-cast, ... with -Werror) is for
  # our code, not for GoogleTest's own sources: build it with the directory's
  # compile options emptied, then put them back. Its headers reach our tests
  # as SYSTEM includes, so they do not trip our warnings either.
  get_directory_property(chronvk_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${CHRONVK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${chronvk_saved_options}")
  unset(chronvk_saved_options)

  # GoogleTest's own CMakeLists defines the GTest:: names the host package
  # exports; add them only for a source tree old enough to lack them.
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
