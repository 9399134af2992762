# Fails when any of FILES ('|'-separated) imports a call that sets or slews the
# machine's clock. LISTER prints a file's imported symbols (nm -u for ELF,
# objdump -p for PE). Tests and tools get the dry-run clock only; this keeps a
# stray link of the real clock library from reaching a test run as root.
string(REPLACE "|" ";" files "${FILES}")
string(REPLACE "|" ";" lister "${LISTER}")
foreach(file IN LISTS files)
  execute_process(COMMAND ${lister} ${file} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list the imports of ${file}")
  endif()
  if(symbols MATCHES
     "[^A-Za-z_](clock_settime|settimeofday|stime|adjtimex|clock_adjtime|adjtime|SetSystemTime|SetLocalTime|SetSystemTimeAdjustment)([^A-Za-z_0-9]|$)")
    message(FATAL_ERROR "${file} imports ${CMAKE_MATCH_1}: it could set the machine's clock")
  endif()
endforeach()
list(LENGTH files count)
message(STATUS "${count} programs checked: none can set the clock")
