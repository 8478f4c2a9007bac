# Runs ostrelle-host.exe under Wine once and checks its exit status (0: the game's contract held in
# every frame) and the trace it wrote.
#   -DHOST_DIR=... -DRUN_UNDER_WINE=... -DTRACE=file -DREPLAY=file | -DQUIET_FRAMES=N
#   -DARGS="--relocate;..." -DEXPECT="regex;..." (each must match a line) -DREJECT="regex;..."
# QUIET_FRAMES makes a replay of N frames of an eligible car driving in the open, 16 ms apart.
# -DFOLDER=name runs the host from that folder of HOST_DIR instead of HOST_DIR itself.
if(QUIET_FRAMES)
  set(REPLAY ${TRACE}.csv)
  include(${CMAKE_CURRENT_LIST_DIR}/quiet_replay.cmake)
endif()

set(host ostrelle-host.exe)
if(FOLDER)
  set(host ../ostrelle-host.exe)
endif()
file(REMOVE ${TRACE})
execute_process(
  COMMAND ${RUN_UNDER_WINE} ${host} --plugin plugin/Ostrelle.dll --trace ${TRACE}
          ${ARGS} ${REPLAY}
  WORKING_DIRECTORY ${HOST_DIR}/${FOLDER}
  RESULT_VARIABLE status)
# 0xDEAD (173 in its low byte, all that Wine passes on): the recording bass.dll's BASS_Free ran at
# process exit, where on Windows it would hang.
if(status EQUAL 173 OR status EQUAL 57005)
  message(FATAL_ERROR "ostrelle-host ended with ${status}: BASS_Free was called at process exit")
elseif(NOT status EQUAL 0)
  message(FATAL_ERROR "ostrelle-host ended with ${status}")
endif()

file(STRINGS ${TRACE} lines)
foreach(pattern IN LISTS EXPECT)
  set(matched FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "${pattern}")
      set(matched TRUE)
      break()
    endif()
  endforeach()
  if(NOT matched)
    message(FATAL_ERROR "no trace line matches ${pattern}")
  endif()
endforeach()
foreach(pattern IN LISTS REJECT)
  foreach(line IN LISTS lines)
    if(line MATCHES "${pattern}")
      message(FATAL_ERROR "trace line ${line} matches ${pattern}")
    endif()
  endforeach()
endforeach()
