# ostrelle-sim from its command line: a scenario exported as a replay drives the plug-in exactly as
# the scenario does (same trace), and the exit status tells a bad input (2) from an output that
# cannot be written (1). Run with -DSIM=<ostrelle-sim> -DSCENARIO=<a .toml> -DWORK=<a folder>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(sim expected_status)
  execute_process(COMMAND ${SIM} ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "ostrelle-sim ${ARGN}: exit status ${status}, expected ${expected_status}\n${errors}")
  endif()
endfunction()

sim(0 run ${SCENARIO} --trace ${WORK}/run.jsonl)
sim(0 export-replay ${SCENARIO} ${WORK}/replay.csv)
sim(0 replay ${WORK}/replay.csv --trace ${WORK}/replay.jsonl)
file(READ ${WORK}/run.jsonl run)
file(READ ${WORK}/replay.jsonl replay)
if(NOT run STREQUAL replay OR run STREQUAL "")
  message(FATAL_ERROR "the replay's trace differs from the scenario's")
endif()

file(WRITE ${WORK}/bad.toml "length = 10\n[[crash]]\nat = 11\nforce = 1\n")
sim(2 run ${WORK}/bad.toml)
sim(2 replay ${WORK})
sim(1 run ${SCENARIO} --csv ${WORK}/no/such/folder/frames.csv)
file(REMOVE_RECURSE ${WORK})
