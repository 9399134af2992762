# Refuses a Windows program that Windows XP would not load.
#
#   cmake -DOBJDUMP=... -DEXE=prog.exe -DALLOWED=xp-imports.txt [-DREMOVE_REFUSED=ON]
#         -P check-xp-imports.cmake
#
# XP's loader rejects a program outright when one imported function is missing
# from its DLL, or when the PE header asks for a newer Windows: the subsystem
# (and operating system) version may be at most 5.1 for a 32-bit program, 5.2
# (XP x64) for a 64-bit one. ALLOWED lists, one `dll!function` a line, every
# import checked to exist on XP SP3. With REMOVE_REFUSED the refused program is
# deleted, so no later build takes the stale file for an up-to-date one.

cmake_minimum_required(VERSION 3.25)

foreach(var OBJDUMP EXE ALLOWED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check-xp-imports: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${EXE}
                OUTPUT_VARIABLE dump ERROR_VARIABLE dump_error RESULT_VARIABLE dump_status)
if(NOT dump_status EQUAL 0)
  message(FATAL_ERROR "check-xp-imports: ${OBJDUMP} -p ${EXE} failed: ${dump_error}")
endif()

# DLL names are compared without case, as the loader does (objdump shows them
# as the import library spells them: KERNEL32.dll, WINMM.DLL, msvcrt.dll).
set(allowed "")
file(STRINGS ${ALLOWED} allowed_lines)
foreach(line IN LISTS allowed_lines)
  string(STRIP "${line}" line)
  if(line MATCHES "^([^#!]+)!(.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
    list(APPEND allowed "${dll}!${CMAKE_MATCH_2}")
  endif()
endforeach()

get_filename_component(exe_name ${EXE} NAME)
set(problems "")

string(REPLACE ";" "," dump "${dump}")
string(REPLACE "\n" ";" dump_lines "${dump}")
set(in_imports FALSE)
set(dll "")
foreach(line IN LISTS dump_lines)
  # The import tables end where the next top-level heading starts.
  if(line MATCHES "^The Import Tables")
    set(in_imports TRUE)
    continue()
  elseif(line MATCHES "^[A-Za-z]")
    set(in_imports FALSE)
  endif()

  if(line MATCHES "^(Magic|Major|Minor)([A-Za-z]*)\t+([0-9a-fA-F]+)")
    set(pe_${CMAKE_MATCH_1}${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
  elseif(in_imports AND line MATCHES "^\tDLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
  elseif(in_imports AND line MATCHES "^\t[0-9a-fA-F]+\t +([0-9]+)  (.+)$")
    set(import "${dll}!${CMAKE_MATCH_2}")
    if(CMAKE_MATCH_2 STREQUAL "<none>")
      set(import "${dll}!#${CMAKE_MATCH_1}")  # imported by ordinal
    endif()
    if(NOT import IN_LIST allowed)
      list(APPEND problems "imports ${import}, not among the functions known to exist on Windows XP SP3")
    endif()
  endif()
endforeach()

if(pe_Magic STREQUAL "020b")
  set(newest 5.2)
elseif(pe_Magic STREQUAL "010b")
  set(newest 5.1)
else()
  list(APPEND problems "has no PE32 or PE32+ header objdump could read")
endif()
foreach(field Subsystem OSystem)
  set(version "${pe_Major${field}Version}.${pe_Minor${field}Version}")
  if(DEFINED newest AND (version VERSION_LESS 4.0 OR version VERSION_GREATER newest))
    list(APPEND problems "asks for ${field} version ${version}; XP loads 4.0 to ${newest}")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n  " text)
  if(REMOVE_REFUSED)
    file(REMOVE ${EXE})
    string(APPEND text "\n(${exe_name} removed: it would not load on Windows XP)")
  endif()
  message(FATAL_ERROR "${exe_name} would not load on Windows XP:\n  ${text}\n"
                      "Allowed imports: ${ALLOWED}")
endif()
