# ostrelle-sim from its command line: a scenario exported as a replay drives the plug-in exactly as
# the scenario does (same trace, same settings), the exit status tells a bad input or a usage
# mistake (2) from an output that cannot be written (1), and no output ever lands on an input or
# is left half-written. Run with -DSIM=<ostrelle-sim> -DSCENARIO=<a .toml> -DASSETS=<assets> -DWORK=<a folder>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tmp)
set(ENV{TMPDIR} ${WORK}/tmp)  # where the run's temporary folder goes; must be empty afterwards

# sim(STATUS [STDOUT regex] [STDERR regex] [ENV NAME=value...] ARGS ...)
function(sim expected_status)
  cmake_parse_arguments(S "" "STDOUT;STDERR" "ENV;ARGS" ${ARGN})
  # A run that blocks (on a named pipe) ends in a timeout, which fails the test.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${S_ENV} ${SIM} ${S_ARGS}
    WORKING_DIRECTORY ${WORK} TIMEOUT 60
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status STREQUAL expected_status)
    message(FATAL_ERROR "ostrelle-sim ${S_ARGS}: exit status ${status}, expected ${expected_status}\n${errors}")
  endif()
  if(S_STDOUT AND NOT output MATCHES "${S_STDOUT}")
    message(FATAL_ERROR "ostrelle-sim ${S_ARGS}: stdout does not match ${S_STDOUT}:\n${output}")
  endif()
  if(S_STDERR AND NOT errors MATCHES "${S_STDERR}")
    message(FATAL_ERROR "ostrelle-sim ${S_ARGS}: stderr does not match ${S_STDERR}:\n${errors}")
  endif()
endfunction()

function(expect_same_text a b why)
  file(READ ${a} left)
  file(READ ${b} right)
  if(NOT left STREQUAL right OR left STREQUAL "")
    message(FATAL_ERROR "${why}: ${a} and ${b} differ")
  endif()
endfunction()

function(expect_no_temporary_files why)
  file(GLOB left ${WORK}/tmp/* ${WORK}/.*.??????)
  if(left)
    message(FATAL_ERROR "${why}: temporary files left: ${left}")
  endif()
endfunction()

# A replay runs as its scenario did, with the scenario's settings carried over beside it.
file(WRITE ${WORK}/short.ini "[Settings]\nMinimum time impact SFX=100\nMaximum time impact SFX=100\n")
file(WRITE ${WORK}/s.toml "length = 3\nsettings = \"short.ini\"\n[[crash]]\nat = 1\nforce = 900\n")
foreach(scenario ${SCENARIO} ${WORK}/s.toml)
  sim(0 ARGS run ${scenario} --trace run.jsonl)
  sim(0 ARGS export-replay ${scenario} replay.csv)
  sim(0 ARGS replay replay.csv --trace replay.jsonl)
  expect_same_text(${WORK}/run.jsonl ${WORK}/replay.jsonl "the replay's trace differs from ${scenario}'s")
endforeach()

# Mistakes on the command line name themselves and exit 2; --version exits 0.
sim(2 STDERR "no command given" ARGS)
sim(2 STDERR "unknown command 'bogus'" ARGS bogus)
sim(2 STDERR "scenario is required" ARGS run)
sim(2 STDERR "--bogus" ARGS run s.toml --bogus)
sim(2 STDERR "--ini missing.ini: cannot read" ARGS run s.toml --ini missing.ini)
sim(2 STDERR "--sounds nowhere: no such folder" ARGS run s.toml --sounds nowhere)
sim(2 STDERR "expected a file name ending in .png" ARGS run s.toml --plot radio.jpg)
sim(0 STDOUT "^ostrelle-sim [0-9]+\\.[0-9]+\\.[0-9]+\n$" ARGS --version)

# Bad inputs exit 2 without a crash: an event after the drive, no frame, a key too deep to parse.
file(WRITE ${WORK}/bad.toml "length = 10\n[[crash]]\nat = 11\nforce = 1\n")
sim(2 ARGS run bad.toml)
sim(2 ARGS replay ${WORK})
file(WRITE ${WORK}/empty.csv "frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z\n")
sim(2 STDERR "empty.csv:2:1: expected at least one row" ARGS replay empty.csv)
string(REPEAT ".a" 50000 deep)
file(WRITE ${WORK}/deep.toml "length = 10\na${deep} = 1\n")
sim(2 STDERR "deep.toml:2:2: expected a key of at most 16 dotted parts" ARGS run deep.toml)

# No output onto an input or onto another output, through a link or not: nothing is written.
file(COPY_FILE ${WORK}/s.toml ${WORK}/kept.toml)
file(CREATE_LINK s.toml ${WORK}/link.toml SYMBOLIC)
file(CREATE_LINK ${WORK}/s.toml ${WORK}/link.png)  # a hard link
sim(2 STDERR "--csv s.toml is the same file as the input s.toml" ARGS run s.toml --csv s.toml)
sim(2 STDERR "--wav link.toml is the same file as the input" ARGS run s.toml --wav link.toml)
sim(2 STDERR "--plot ./link.png is the same file" ARGS run s.toml --plot ./link.png)
sim(2 STDERR "--trace short.ini is the same file as the settings file" ARGS run s.toml --trace short.ini)
sim(2 STDERR "--csv o.csv is the same file as --trace o.csv" ARGS run s.toml --csv o.csv --trace o.csv)
sim(2 STDERR "the replay s.toml is the same file as the scenario" ARGS export-replay s.toml s.toml)
expect_same_text(${WORK}/s.toml ${WORK}/kept.toml "an input was written over")
if(EXISTS ${WORK}/o.csv)
  message(FATAL_ERROR "a refused run wrote o.csv")
endif()

# An output that cannot be written in full is a failure, and leaves no temporary file behind.
sim(1 STDERR "/dev/full: cannot write all of it" ARGS run s.toml --csv /dev/full)
expect_no_temporary_files("after failed outputs")

# What can be known before the drive runs is a mistake on the command line.
file(MAKE_DIRECTORY ${WORK}/folder ${WORK}/no-gnuplot)
execute_process(COMMAND mkfifo ${WORK}/fifo)
sim(2 STDERR "--csv no/such/folder/frames.csv: no such folder" ARGS run s.toml --csv no/such/folder/frames.csv)
foreach(option --wav --ini --sounds)  # CMake drops an empty argument: the shell passes it
  execute_process(COMMAND sh -c "\"$0\" run s.toml ${option} ''" ${SIM} WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 2 OR NOT errors MATCHES "${option}: an empty path")
    message(FATAL_ERROR "${option} '': exit status ${status}, expected 2\n${errors}")
  endif()
endforeach()
sim(2 STDERR "--wav /dev/stdout: standard output carries the timeline" ARGS run s.toml --wav /dev/stdout)
sim(2 STDERR "--csv -: standard output carries the timeline" ARGS run s.toml --csv -)
sim(2 STDERR "--wav folder: a folder, not a file" ARGS run s.toml --wav folder)
foreach(input fifo folder /dev/null)
  sim(2 STDERR "--ini ${input}: cannot read the file" ARGS run s.toml --ini ${input})
  sim(2 STDERR "${input}:1:1: cannot read the file" ARGS run ${input})
  sim(2 STDERR "${input}:1:1: cannot read the file" ARGS replay ${input})
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PATH=${WORK}/no-gnuplot ${SIM} run s.toml --plot p.png
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 2 OR NOT errors MATCHES "--plot p.png: gnuplot is not installed")
  message(FATAL_ERROR "a plot without gnuplot: exit status ${status}, expected 2\n${errors}")
endif()
string(REPEAT "n" 250 long)
sim(0 ARGS run s.toml --csv ${long}.csv)  # 254 bytes: its temporary file's name must fit too
file(REMOVE ${WORK}/${long}.csv)

# The files the run reads are never written over: the sounds it found, the shipped assets.
file(MAKE_DIRECTORY ${WORK}/mine)
file(COPY_FILE "${ASSETS}/Radio SFX/noise.mp3" ${WORK}/mine/noise.mp3)
sim(2 STDERR "--wav mine/noise.mp3 is the same file as the sound noise.mp3"
  ARGS run s.toml --sounds mine --wav mine/noise.mp3)
sim(2 STDERR "--csv .*radio-bed.mp3 is the same file as the radio bed"
  ARGS run s.toml --csv ${ASSETS}/radio-bed.mp3)

# A timeline that does not reach standard output is a failure, for every command that prints.
foreach(command "run;s.toml" "check-ini;short.ini" "check-game;${WORK}" "export-replay;s.toml;full.csv")
  execute_process(COMMAND ${SIM} ${command} WORKING_DIRECTORY ${WORK} OUTPUT_FILE /dev/full
    RESULT_VARIABLE status ERROR_VARIABLE errors)
  string(REGEX MATCHALL "standard output: cannot write" told "${errors}")
  list(LENGTH told times)
  if(NOT status EQUAL 1 OR NOT times EQUAL 1)
    message(FATAL_ERROR "${command} > /dev/full: exit status ${status}, expected 1 and one message\n${errors}")
  endif()
endforeach()

# An output through a link is written into the file it names; the link stays.
file(MAKE_DIRECTORY ${WORK}/elsewhere)
file(CREATE_LINK elsewhere/table.csv ${WORK}/table-link.csv SYMBOLIC)
sim(0 ARGS run s.toml --csv table-link.csv)
if(NOT IS_SYMLINK ${WORK}/table-link.csv OR NOT EXISTS ${WORK}/elsewhere/table.csv)
  message(FATAL_ERROR "an output through a link replaced the link")
endif()

# All outputs or none: a gnuplot that fails leaves every old output as it was.
file(MAKE_DIRECTORY ${WORK}/bad-gnuplot)
file(WRITE ${WORK}/bad-gnuplot/gnuplot "#!/bin/sh\nexit 1\n")
file(CHMOD ${WORK}/bad-gnuplot/gnuplot PERMISSIONS OWNER_READ OWNER_EXECUTE)
file(WRITE ${WORK}/old.csv "the old table\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env PATH=${WORK}/bad-gnuplot:$ENV{PATH}
  ${SIM} run s.toml --csv old.csv --plot new.png
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
file(READ ${WORK}/old.csv old)
if(NOT status EQUAL 1 OR NOT errors MATCHES "new.png: gnuplot could not draw"
   OR NOT old STREQUAL "the old table\n" OR EXISTS ${WORK}/new.png)
  message(FATAL_ERROR "a failing gnuplot: exit status ${status}, old.csv '${old}'\n${errors}")
endif()
expect_no_temporary_files("after a failing gnuplot")

# --sounds: the plug-in's own search in that folder, and the timeline says what it found.
file(MAKE_DIRECTORY ${WORK}/mod)
file(COPY_FILE "${ASSETS}/Radio SFX/broke.mp3" ${WORK}/mod/broke.mp3)
sim(0 STDOUT "sounds: broke.mp3 from mod/broke.mp3, broke2.mp3 missing, noise.mp3 missing"
  ARGS run s.toml --sounds mod)
# Names in any case, sounds by content, relative places in the game's folder: never the shell's.
file(MAKE_DIRECTORY ${WORK}/loud/RADIO\ SFX ${WORK}/Radio\ SFX ${WORK}/empty)
file(COPY_FILE "${ASSETS}/Radio SFX/broke.mp3" "${WORK}/loud/RADIO SFX/BROKE2.MP3")
file(WRITE "${WORK}/loud/RADIO SFX/NOISE.MP3" "")
file(COPY_FILE "${ASSETS}/Radio SFX/noise.mp3" "${WORK}/Radio SFX/noise.mp3")
sim(0 STDOUT "broke2.mp3 from loud/RADIO SFX/BROKE2.MP3, noise.mp3 found, but cannot play: the file is empty \\(loud/RADIO SFX/NOISE.MP3\\)"
  ARGS run s.toml --sounds loud)
sim(0 STDOUT "noise.mp3 missing\ngame folder: none" ARGS run s.toml --sounds empty)
sim(0 STDOUT "noise.mp3 from ${WORK}/Radio SFX/noise.mp3\ngame folder: ${WORK}"
  ARGS run s.toml --sounds empty --game ${WORK})
sim(2 STDERR "--game nowhere: no such folder" ARGS run s.toml --game nowhere)

# Outputs: nothing over an input or a shipped file, from any command; exit 2 before any work.
sim(2 STDERR "the replay .*radio-bed.mp3 is the same file as the radio bed"
  ARGS export-replay s.toml ${ASSETS}/radio-bed.mp3)
sim(2 STDERR "the replay's settings file .*Ostrelle.ini is the same file as the shipped settings"
  ARGS export-replay s.toml ${ASSETS}/Ostrelle.csv)
if(EXISTS ${ASSETS}/Ostrelle.csv)
  message(FATAL_ERROR "a refused export-replay wrote into the shipped assets")
endif()
# Nor over the program or the rest of what it ships: a copy of both, which a fault may spoil.
file(COPY ${ASSETS} ${SIM} DESTINATION ${WORK}/program)
block()
  set(SIM ${WORK}/program/ostrelle-sim)
  sim(2 STDERR "--csv program/ostrelle-sim is the same file as ostrelle-sim itself"
    ARGS run s.toml --csv program/ostrelle-sim)
  sim(2 STDERR "--trace program/assets/README.txt is the same file as the shipped read-me"
    ARGS run s.toml --trace program/assets/README.txt)
endblock()
# Outputs: all or none. A stream that fails, or a settings copy that cannot be written, leaves
# every old regular file as it was.
function(expect_text path text why)
  file(READ ${path} found)
  if(NOT found STREQUAL "${text}")
    message(FATAL_ERROR "${why}: ${path} holds '${found}'")
  endif()
endfunction()
file(WRITE ${WORK}/a.csv "old a.csv\n")
file(WRITE ${WORK}/a.wav "old a.wav\n")
sim(1 STDERR "/dev/full: cannot write all of it: No space left on device"
  ARGS run s.toml --csv a.csv --wav a.wav --trace /dev/full)
expect_text(${WORK}/a.csv "old a.csv\n" "a failed stream replaced a file")
expect_text(${WORK}/a.wav "old a.wav\n" "a failed stream replaced a file")
file(MAKE_DIRECTORY ${WORK}/out.ini)
file(WRITE ${WORK}/out.csv "old out.csv\n")
sim(2 STDERR "out.ini: a folder, not a file" ARGS export-replay s.toml out.csv)
expect_text(${WORK}/out.csv "old out.csv\n" "export-replay replaced its replay, then failed")
# Outputs: past a file-size limit (EFBIG) the run fails naming the output and the reason, keeps
# the old files, the plot included, and leaves no temporary file.
file(WRITE ${WORK}/p.png "old plot\n")
execute_process(COMMAND sh -c "ulimit -f 30; exec \"$0\" run s.toml --csv a.csv --plot p.png" ${SIM}
  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT status EQUAL 1 OR NOT errors MATCHES "p.png: cannot write all of it: File too large")
  message(FATAL_ERROR "a plot past the file-size limit: exit status ${status}\n${errors}")
endif()
expect_text(${WORK}/p.png "old plot\n" "a cut plot replaced the old one")
expect_text(${WORK}/a.csv "old a.csv\n" "a failed plot let the table through")
expect_no_temporary_files("after a file-size limit")
# Outputs: a rerun keeps the old file's mode; a file with other names is refused, not split.
file(CHMOD ${WORK}/a.csv PERMISSIONS OWNER_READ OWNER_WRITE)
sim(0 ARGS run s.toml --csv a.csv)
execute_process(COMMAND stat -c %a ${WORK}/a.csv OUTPUT_VARIABLE mode OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT mode STREQUAL "600")
  message(FATAL_ERROR "a rerun left a.csv with mode ${mode}, not the 600 it had")
endif()
file(CREATE_LINK ${WORK}/a.wav ${WORK}/twin.wav)
sim(2 STDERR "twin.wav: the file has 2 names \\(hard links\\)" ARGS run s.toml --wav twin.wav)
expect_text(${WORK}/a.wav "old a.wav\n" "a hard-linked output was written")
# Outputs: a full, missing or unwritable temporary folder is told as such.
sim(1 STDERR "the temporary folder ${WORK}/none \\(TMPDIR\\)" ENV TMPDIR=${WORK}/none ARGS run s.toml)
# Outputs: a pipe or terminal is a stream, written directly: an anonymous pipe (/dev/fd/N, the
# shell's >(...)), /dev/stderr, and a WAV through the temporary folder.
foreach(option --csv --wav)
  execute_process(COMMAND sh -c "\"$0\" run s.toml ${option} /dev/fd/3 3>&1 >/dev/null" ${SIM}
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE streamed ERROR_VARIABLE errors)
  string(SUBSTRING "${streamed}" 0 4 head)
  if(NOT status EQUAL 0 OR NOT head MATCHES "^(time|RIFF)")
    message(FATAL_ERROR "${option} into a pipe: exit status ${status}, '${head}'\n${errors}")
  endif()
endforeach()
sim(0 STDERR "\"call\":\"BASS_Init\"" ARGS run s.toml --trace /dev/stderr)
expect_no_temporary_files("after streams")

# Paths: the tools' own temporary folder and the folders given are Linux paths, used as given:
# relative, or with a '\' in a name, the settings and sounds are still found.
# (CMake's own file commands read '\' as '/': the shell makes these.)
execute_process(COMMAND sh -c "mkdir -p 'back\\slash' 'ga\\me/Radio SFX' && cp \"$0\" 'ga\\me/Radio SFX/'"
  "${ASSETS}/Radio SFX/noise.mp3" WORKING_DIRECTORY ${WORK})
foreach(temporary tmp "${WORK}/back\\slash")
  sim(0 STDOUT "settings short.ini \\(Minimum time impact SFX=100.*broke.mp3 from"
    ENV TMPDIR=${temporary} ARGS run s.toml)
endforeach()
sim(0 STDOUT "noise.mp3 from ${WORK}/ga.me/Radio SFX/noise.mp3" ARGS run s.toml --sounds empty --game "${WORK}/ga\\me")

# Inputs: a replay's settings are found beside it in any letter case, as Windows would; a
# scenario's settings file that is already the one beside the replay is kept as it is.
sim(0 ARGS export-replay s.toml DRIVE.CSV)
file(RENAME ${WORK}/DRIVE.ini ${WORK}/DRIVE.INI)
sim(0 STDOUT "settings DRIVE.INI \\(Minimum time impact SFX=100" ARGS replay DRIVE.CSV)
file(COPY_FILE ${WORK}/DRIVE.INI ${WORK}/драйв.ini)
file(COPY_FILE ${WORK}/DRIVE.CSV ${WORK}/ДРАЙВ.csv)
sim(0 STDOUT "settings драйв.ini \\(Minimum time impact SFX=100" ARGS replay ДРАЙВ.csv)
# A last row without its line end may be cut inside its last value (roof_z 12.5 read as 12): it is
# left out, with a warning, as a row cut anywhere else is.
file(READ ${WORK}/DRIVE.CSV rows)
string(REGEX REPLACE "\n$" "" rows "${rows}")
file(WRITE ${WORK}/cutnum.csv "${rows}")
sim(0 STDOUT "^cutnum.csv: 179 frames" STDERR "warning: cutnum.csv:181: the last row has no line end"
  ARGS replay cutnum.csv)
file(COPY_FILE ${WORK}/short.ini ${WORK}/short-kept.ini)
sim(0 STDOUT "kept where they are" ARGS export-replay s.toml short.csv)
expect_same_text(${WORK}/short.ini ${WORK}/short-kept.ini "the scenario's settings were rewritten")

# An interrupt ends the run, removes what it made and leaves the old output whole: a closed
# terminal (HUP), a quit key (QUIT) and a reader gone away (PIPE) as much as INT and TERM.
file(WRITE ${WORK}/long.toml "length = 36000\nframe_rate = 20\n")
file(WRITE ${WORK}/old.csv "the old table\n")
foreach(signal INT TERM HUP QUIT PIPE)
  execute_process(COMMAND timeout -s ${signal} 1 ${SIM} run long.toml --csv old.csv --wav old.wav
    WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 124)
    message(FATAL_ERROR "a run ended by SIG${signal}: exit status ${status}, expected 124 from timeout")
  endif()
  file(READ ${WORK}/old.csv old)
  if(NOT old STREQUAL "the old table\n" OR EXISTS ${WORK}/old.wav)
    message(FATAL_ERROR "a run ended by SIG${signal} wrote its outputs")
  endif()
  expect_no_temporary_files("after SIG${signal}")
endforeach()
file(REMOVE_RECURSE ${WORK})
