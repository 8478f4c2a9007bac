# Runs ostrelle-host.exe under Wine once with the drive recorder, in a plug-in folder of the test's
# own, and checks the game's contract (exit status 0) and what was recorded.
#   -DHOST_DIR=... -DRUN_UNDER_WINE=... -DSIM=ostrelle-sim -DWORK=folder
#   -DREPLAY=file | -DQUIET_FRAMES=N   -DPLUGIN=ON|OFF (Ostrelle.dll loaded too)  -DARGS="..."
#   -DRECORDING=same | readable | none | per-user
# same: one recording, line for line the replay, with the plug-in's settings beside it; with the
#   plug-in loaded, ostrelle-sim replay of the recording makes the trace the DLL made live.
# readable: one recording that ostrelle-sim replays, of at most as many frames as the replay.
# none: no recording anywhere beside the recorder.
# unchecked: only the game's contract counts.
# per-user: as same, in the per-user folder of the Wine prefix instead.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB plugin_files ${HOST_DIR}/plugin/*)
file(COPY ${plugin_files} DESTINATION ${WORK})
file(REMOVE_RECURSE "${WORK}/Ostrelle recordings")  # from runs by hand in the host's folder
get_filename_component(folder ${WORK} NAME)
set(trace ${WORK}.jsonl)
if(QUIET_FRAMES)
  set(REPLAY ${WORK}.csv)
  include(${CMAKE_CURRENT_LIST_DIR}/quiet_replay.cmake)
endif()
set(plugin_args)
if(PLUGIN)
  set(plugin_args --plugin ${folder}/Ostrelle.dll)
endif()
set(per_user_glob "$ENV{WINEPREFIX}/drive_c/users/*/AppData/Local/Ostrelle/recordings")
if(RECORDING STREQUAL "per-user")
  file(GLOB old_per_user ${per_user_glob})
  if(old_per_user)
    file(REMOVE_RECURSE ${old_per_user})
  endif()
endif()

file(REMOVE ${trace})
# The recorder writes a tenth of a second after a frame: the game runs on that long.
execute_process(
  COMMAND ${RUN_UNDER_WINE} ostrelle-host.exe ${plugin_args}
          --recorder ${folder}/Ostrelle-recorder.dll --trace ${trace} --exit-after 500
          ${ARGS} ${REPLAY}
  WORKING_DIRECTORY ${HOST_DIR}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ostrelle-host ended with ${status}")
endif()

if(RECORDING STREQUAL "unchecked")
  return()
elseif(RECORDING STREQUAL "per-user")
  set(recordings ${per_user_glob})
else()
  set(recordings "${WORK}/Ostrelle recordings")
endif()
file(GLOB csv_files "${recordings}/*.csv")
file(GLOB all_files "${recordings}/*")
list(LENGTH csv_files count)
if(RECORDING STREQUAL "none")
  if(all_files)
    message(FATAL_ERROR "the recorder left files: ${all_files}")
  endif()
  return()
endif()
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one recording in ${recordings}, found ${count}: ${all_files}")
endif()
string(REGEX REPLACE "\\.csv$" ".ini" ini_file "${csv_files}")
if(NOT EXISTS "${ini_file}")
  message(FATAL_ERROR "no settings beside the recording ${csv_files}")
endif()
file(STRINGS "${csv_files}" recorded)
file(STRINGS ${REPLAY} replayed)

if(RECORDING STREQUAL "readable")
  execute_process(COMMAND ${SIM} replay "${csv_files}" OUTPUT_QUIET RESULT_VARIABLE failed)
  list(LENGTH recorded recorded_count)
  list(LENGTH replayed replayed_count)
  if(failed OR recorded_count GREATER replayed_count)
    message(FATAL_ERROR "ostrelle-sim replay of the recording ended with ${failed}; "
                        "${recorded_count} lines against ${replayed_count} replayed")
  endif()
  message(STATUS "the recording holds ${recorded_count} of ${replayed_count} lines")
  return()
endif()

if(NOT recorded STREQUAL replayed)
  list(LENGTH recorded recorded_count)
  foreach(line IN LISTS replayed)
    list(GET recorded 0 first)
    list(REMOVE_AT recorded 0)
    if(NOT first STREQUAL line)
      message(FATAL_ERROR "the recording (${recorded_count} lines) differs from the replay:\n"
                          "  replayed: ${line}\n  recorded: ${first}")
    endif()
  endforeach()
  message(FATAL_ERROR "the recording holds more lines than the replay")
endif()
file(READ ${WORK}/Ostrelle.ini settings)
file(READ "${ini_file}" recorded_settings)
if(NOT settings STREQUAL recorded_settings)
  message(FATAL_ERROR "${ini_file} is not a copy of the settings the plug-in read")
endif()
if(PLUGIN)
  execute_process(COMMAND ${SIM} replay "${csv_files}" --trace ${WORK}.sim.jsonl
    OUTPUT_QUIET RESULT_VARIABLE failed)
  file(STRINGS ${WORK}.sim.jsonl simulated)
  file(STRINGS ${trace} live)
  if(failed OR NOT simulated STREQUAL live)
    message(FATAL_ERROR "ostrelle-sim replay of the recording (status ${failed}) gives another "
                        "trace than the DLL's live: compare ${WORK}.sim.jsonl with ${trace}")
  endif()
endif()
