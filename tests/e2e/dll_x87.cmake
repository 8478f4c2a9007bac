# The plug-in's own object code must do no x87 arithmetic: x87 keeps excess precision, so strict
# 32-bit float comparisons (the roof gap, the impact threshold) would decide differently from the
# SSE code the flags -msse2 -mfpmath=sse ask for. Loads and stores (fld, fstp) stay: a float result
# comes back on the x87 stack in the i686 calling convention. The static C++ runtime is not ours.
# Arguments: OBJDUMP, OBJECTS (the DLL's object files, separated by "|").

# AT&T mnemonics: f[i]add/sub/subr/mul/div/divr with an s/l size and a pop, and the compares
# f[i]com, fucom with their i/p/pp forms.
set(x87_arithmetic "fi?(add|subr?|mul|divr?)[sl]?p?|fi?u?com(pp|ip|i|p)?[sl]?")

string(REPLACE "|" ";" objects "${OBJECTS}")
if(NOT objects)
  message(FATAL_ERROR "no object files given")
endif()
set(found "")
foreach(object IN LISTS objects)
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${object}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${OBJDUMP} -d ${object} failed")
  endif()
  string(REPLACE "\n" ";" lines "${dump}")
  set(function "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ <(.+)>:$")
      set(function ${CMAKE_MATCH_1})
    elseif(line MATCHES "^ *[0-9a-f]+:\t((${x87_arithmetic})( .*)?)$")
      string(APPEND found "\n  ${object}: ${function}: ${CMAKE_MATCH_1}")
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "x87 arithmetic in the plug-in's own code:${found}")
endif()
list(LENGTH objects count)
message(STATUS "no x87 arithmetic in ${count} object files")
