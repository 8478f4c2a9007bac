# The same source gives the same DLLs and the same zip, byte for byte: builds the two DLLs again in
# another folder, later, and compares them with the build's own; then makes the players' zip twice,
# a while apart, and compares the two.
# Arguments: SOURCE, TOOLCHAIN, DLL, RECORDER, OBJDUMP, VERSION, WORK.
foreach(argument SOURCE TOOLCHAIN DLL RECORDER OBJDUMP VERSION WORK)
  if(NOT ${argument})
    message(FATAL_ERROR "reproducible: ${argument} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(FATAL_ERROR "failed (${failed}): ${ARGN}")
  endif()
endfunction()

function(expect_same first second)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${first} ${second}
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${first} and ${second} differ")
  endif()
  message(STATUS "the same: ${first} and ${second}")
endfunction()

file(REMOVE_RECURSE ${WORK})
run(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build --toolchain ${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release -DOSTRELLE_DLL_BUILD=ON)
run(${CMAKE_COMMAND} --build ${WORK}/build --parallel 2 --target Ostrelle Ostrelle-recorder)
expect_same(${DLL} ${WORK}/build/src/Ostrelle.dll)
expect_same(${RECORDER} ${WORK}/build/recorder/Ostrelle-recorder.dll)

foreach(n IN ITEMS 1 2)
  if(n EQUAL 2)
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 2)
  endif()
  run(${CMAKE_COMMAND} -DDLL=${DLL} -DRECORDER=${RECORDER} -DOBJDUMP=${OBJDUMP}
      -DVERSION=${VERSION} -DSOURCE=${SOURCE} -DDIST=${WORK}/dist-${n}
      -P ${SOURCE}/tools/make-dist.cmake)
endforeach()
expect_same(${WORK}/dist-1/Ostrelle-${VERSION}.zip ${WORK}/dist-2/Ostrelle-${VERSION}.zip)
