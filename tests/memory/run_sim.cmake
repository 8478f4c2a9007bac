# One ostrelle-sim run of a scenario, each named output written into a fresh folder, under a
# memory checker if one is given. Fails on any exit status but 0, so a checker's report fails it.
# Run with -DSIM=<ostrelle-sim> -DSCENARIO=<a .toml> -DWORK=<a folder> -DOUTPUTS=<a list of trace, csv, wav>
# and, optionally, -DLAUNCHER=<the checker and its options, a list>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(options)
foreach(output IN LISTS OUTPUTS)
  list(APPEND options --${output} ${WORK}/out.${output})
endforeach()
execute_process(COMMAND ${LAUNCHER} ${SIM} run ${SCENARIO} ${options}
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${LAUNCHER} ostrelle-sim run ${SCENARIO} ${options}: exit status ${status}\n"
                      "${errors}")
endif()
file(REMOVE_RECURSE ${WORK})
