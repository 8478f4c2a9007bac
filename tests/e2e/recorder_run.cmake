# Runs ostrelle-host.exe under Wine once with the drive recorder, in a plug-in folder of the test's
# own, and checks the game's contract (exit status 0) and what was recorded.
#   -DHOST_DIR=... -DRUN_UNDER_WINE=... -DSIM=ostrelle-sim -DWORK=folder
#   -DREPLAY=file | -DQUIET_FRAMES=N   -DPLUGIN=ON|OFF|APART (Ostrelle.dll loaded too; APART: from
#   a folder of its own, whose settings differ from those beside the recorder)  -DARGS="..."
#   -DRECORDING=same | readable | none | per-user
#   -DFRESH_USER=ON: LOCALAPPDATA is a folder named in Cyrillic that holds nothing yet
#   -DREAD_ONLY_SETTINGS=ON: the settings file the plug-in reads is read-only
#   -DCYRILLIC=ON: the plug-in folder is named in Cyrillic, which code page 1252 cannot hold; the
#   host starts inside it, given relative paths (its own command line is ANSI too)
# same: one recording, line for line the replay, with the plug-in's settings beside it; with the
#   plug-in loaded, ostrelle-sim replay of the recording makes the trace the DLL made live.
# readable: one recording that ostrelle-sim replays, of at most as many frames as the replay.
# none: no recording anywhere beside the recorder.
# unchecked: only the game's contract counts.
# per-user: as same, in the per-user folder (the Wine prefix's, or the fresh one) instead.
# The recording's settings are a note naming the file copied, then the copy.
# The trace and the made replay beside the folder, named in ASCII: the host's arguments are ANSI.
set(trace ${WORK}.jsonl)
if(CYRILLIC)
  set(WORK "${WORK}-Игра")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB plugin_files ${HOST_DIR}/plugin/*)
file(COPY ${plugin_files} DESTINATION ${WORK})
file(REMOVE_RECURSE "${WORK}/Ostrelle recordings")  # from runs by hand in the host's folder
get_filename_component(folder ${WORK} NAME)
set(host ostrelle-host.exe)
set(run_in ${HOST_DIR})
if(CYRILLIC)
  set(folder .)
  set(host ../ostrelle-host.exe)
  set(run_in ${WORK})
endif()
if(QUIET_FRAMES)
  string(REGEX REPLACE "\\.jsonl$" ".csv" REPLAY ${trace})
  include(${CMAKE_CURRENT_LIST_DIR}/quiet_replay.cmake)
endif()
set(plugin_args)
set(settings_read ${WORK}/Ostrelle.ini)
if(PLUGIN STREQUAL "APART")
  # The recorder's own copy of the settings says Volume Damage=0.5: it must not be the one copied.
  file(MAKE_DIRECTORY ${WORK}/plugin)
  file(RENAME ${WORK}/Ostrelle.dll ${WORK}/plugin/Ostrelle.dll)
  file(RENAME "${WORK}/Radio SFX" "${WORK}/plugin/Radio SFX")
  file(COPY ${WORK}/Ostrelle.ini DESTINATION ${WORK}/plugin)
  set(settings_read ${WORK}/plugin/Ostrelle.ini)
  file(READ ${WORK}/Ostrelle.ini own_settings)
  string(REPLACE "Volume Damage=1.00" "Volume Damage=0.5" own_settings "${own_settings}")
  file(WRITE ${WORK}/Ostrelle.ini "${own_settings}")
  set(plugin_args --plugin ${folder}/plugin/Ostrelle.dll)
elseif(PLUGIN)
  set(plugin_args --plugin ${folder}/Ostrelle.dll)
endif()
if(READ_ONLY_SETTINGS)
  file(CHMOD ${settings_read} PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
endif()
set(per_user_glob "$ENV{WINEPREFIX}/drive_c/users/*/AppData/Local/Ostrelle/recordings")
if(FRESH_USER)
  # Outside the recorder's folder, which the disk may refuse.
  file(REMOVE_RECURSE ${WORK}-user)
  set(local "${WORK}-user/Пользователь/AppData/Local")
  file(MAKE_DIRECTORY ${local})
  string(REPLACE "/" "\\" windows_local "Z:${local}")
  list(APPEND plugin_args --local-app-data ${windows_local})
  set(per_user_glob ${local}/Ostrelle/recordings)
endif()
if(RECORDING STREQUAL "per-user" AND NOT FRESH_USER)
  file(GLOB old_per_user ${per_user_glob})
  if(old_per_user)
    file(REMOVE_RECURSE ${old_per_user})
  endif()
endif()

file(REMOVE ${trace})
# The recorder writes a tenth of a second after a frame: the game runs on that long.
execute_process(
  COMMAND ${RUN_UNDER_WINE} ${host} ${plugin_args}
          --recorder ${folder}/Ostrelle-recorder.dll --trace ${trace} --exit-after 500
          ${ARGS} ${REPLAY}
  WORKING_DIRECTORY ${run_in}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ostrelle-host ended with ${status}")
endif()

if(RECORDING STREQUAL "unchecked")
  return()
elseif(RECORDING STREQUAL "per-user" OR FRESH_USER)
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
    if(NOT recorded)
      message(FATAL_ERROR "the recording (${recorded_count} lines) ends before the replay's line:\n"
                          "  ${line}")
    endif()
    list(GET recorded 0 first)
    list(REMOVE_AT recorded 0)
    if(NOT first STREQUAL line)
      message(FATAL_ERROR "the recording (${recorded_count} lines) differs from the replay:\n"
                          "  replayed: ${line}\n  recorded: ${first}")
    endif()
  endforeach()
  message(FATAL_ERROR "the recording holds more lines than the replay")
endif()
file(READ ${settings_read} settings)
file(READ "${ini_file}" recorded_settings)
string(FIND "${recorded_settings}" "\n" note_end)
string(SUBSTRING "${recorded_settings}" 0 ${note_end} note)
math(EXPR note_end "${note_end} + 1")
string(SUBSTRING "${recorded_settings}" ${note_end} -1 recorded_settings)
get_filename_component(read_folder ${settings_read} DIRECTORY)
get_filename_component(read_folder ${read_folder} NAME)
if(CYRILLIC)
  set(read_folder "[!-~]+")  # the folder's short name, plain ASCII
endif()
if(NOT note MATCHES "^; A copy of .*\\\\${read_folder}\\\\Ostrelle\\.ini, ")
  message(FATAL_ERROR "${ini_file} does not begin with a note naming ${settings_read}: ${note}")
endif()
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
