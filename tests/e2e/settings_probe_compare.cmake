# Runs settings_probe over every file of a corpus twice, once as the Linux build and once as the
# Windows build under Wine (one Wine process for the whole corpus), and fails naming each file and
# each value on which the two disagree.
#
# cmake -DNATIVE_PROBE=... -DWINDOWS_PROBE=... -DRUN_UNDER_WINE=... -DCORPUS=... -P this file
foreach(variable NATIVE_PROBE WINDOWS_PROBE RUN_UNDER_WINE CORPUS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "settings_probe_compare: ${variable} is not set")
  endif()
endforeach()
if(NOT EXISTS ${NATIVE_PROBE})
  message(FATAL_ERROR "settings_probe_compare: no Linux probe at ${NATIVE_PROBE}; build the native preset first")
endif()

file(GLOB files RELATIVE ${CORPUS} ${CORPUS}/*.ini)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "settings_probe_compare: no .ini files in ${CORPUS}")
endif()

# Both probes read each file at .\NAME from the corpus folder (the corpus's expectations are
# code page 1252, which run-under-wine sets).
function(probe result)
  execute_process(COMMAND ${ARGN} . ${files}
    WORKING_DIRECTORY ${CORPUS}
    OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "settings_probe_compare: ${ARGN} failed (${status}): ${errors}")
  endif()
  string(REGEX REPLACE "\n$" "" output "${output}")
  string(REPLACE "\n" ";" lines "${output}")
  set(${result} "${lines}" PARENT_SCOPE)
endfunction()
probe(linux ${NATIVE_PROBE})
probe(windows ${RUN_UNDER_WINE} ${WINDOWS_PROBE})

list(LENGTH linux linuxCount)
list(LENGTH windows windowsCount)
if(NOT linuxCount EQUAL windowsCount)
  message(FATAL_ERROR "settings_probe_compare: ${linuxCount} lines from Linux, ${windowsCount} from Windows")
endif()

# Each line is "FILE: WHAT=VALUE"; report the differing WHATs of each file together.
set(failed "")
math(EXPR last "${linuxCount} - 1")
foreach(i RANGE ${last})
  list(GET linux ${i} linuxLine)
  list(GET windows ${i} windowsLine)
  if(NOT linuxLine STREQUAL windowsLine)
    string(REGEX MATCH "^[^:]*" file "${linuxLine}")
    string(REGEX REPLACE "^[^:]*: " "" linuxValue "${linuxLine}")
    string(REGEX REPLACE "^[^:]*: " "" windowsValue "${windowsLine}")
    list(APPEND failed ${file})
    message("${file}: Windows ${windowsValue}, Linux ${linuxValue}")
  endif()
endforeach()
list(REMOVE_DUPLICATES failed)
list(LENGTH failed failedCount)
if(failedCount GREATER 0)
  message(FATAL_ERROR "${failedCount} of ${count} settings files read differently on Linux: ${failed}")
endif()
message("All ${count} settings files read alike on Linux and Windows")
