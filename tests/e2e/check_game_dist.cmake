# The players' package in a game folder: lays out what make dist makes (tools/make-dist.cmake,
# into WORK, not the source tree's dist/), copies it into the game's scripts/ folder beside a made
# game program and the recording bass.dll, and runs ostrelle-sim check-game over it. Every check
# must pass, and the plug-in's version must be the project's.
# Arguments: SIM, MAKE_TEST_PE, DLL, RECORDER, BASS, OBJDUMP, VERSION, SOURCE, WORK.
foreach(argument SIM MAKE_TEST_PE DLL RECORDER BASS OBJDUMP VERSION SOURCE WORK)
  if(NOT ${argument})
    message(FATAL_ERROR "check_game_dist: ${argument} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "failed (${failed}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} -DDLL=${DLL} -DRECORDER=${RECORDER} -DOBJDUMP=${OBJDUMP} -DVERSION=${VERSION} -DSOURCE=${SOURCE}
    -DDIST=${WORK}/dist -P ${SOURCE}/tools/make-dist.cmake)
set(game "${WORK}/game folder")
file(COPY ${WORK}/dist/Ostrelle/ DESTINATION "${game}/scripts")
file(COPY_FILE ${BASS} "${game}/bass.dll")
run(${MAKE_TEST_PE} game "${game}/game.exe")

execute_process(COMMAND ${SIM} check-game "${game}" OUTPUT_VARIABLE said RESULT_VARIABLE status)
message("${said}")
if(NOT status EQUAL 0 OR NOT said MATCHES "\nAll is well")
  message(FATAL_ERROR "check-game did not find all well in the packaged folder (exit ${status})")
endif()
if(NOT said MATCHES "scripts/Ostrelle.dll, version ${VERSION}\\.0\n")
  message(FATAL_ERROR "check-game did not read the version ${VERSION} from Ostrelle.dll")
endif()
