# Fails when any of FILES ('|'-separated) holds the real clock: the symbols of
# the library only the program links, or (where the platform's runtime does
# not carry them anyway) imports of a call that sets or slews the clock. NM
# lists a program's symbols; FORBIDDEN is the pattern of what must not be there.
string(REPLACE "|" ";" files "${FILES}")
foreach(file IN LISTS files)
  execute_process(COMMAND ${NM} ${file} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list the symbols of ${file}")
  endif()
  if(symbols MATCHES "${FORBIDDEN}")
    message(FATAL_ERROR "${file} holds ${CMAKE_MATCH_0}: it could set the machine's clock")
  endif()
endforeach()
list(LENGTH files count)
message(STATUS "${count} programs checked: none can set the clock")
