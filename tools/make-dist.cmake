# make dist: the players' package. Lays out DIST/Ostrelle/ (the DLL, the settings file, the
# sounds, a README, the drive recorder in a folder of its own) and zips it as
# DIST/Ostrelle-VERSION.zip, after checking the DLLs' imports. The text files get Windows line ends
# and the version filled in. The zip is the same byte for byte from the same source, whoever makes
# it when: its entries in name order, each with the commit's time (SOURCE_DATE_EPOCH when set, as
# release tools set it), read-only permissions and no owner.
# Arguments: DLL, RECORDER, OBJDUMP, VERSION, SOURCE (the source tree), DIST (where the package
# goes); optional TUNER: Ostrelle-tuner.html, put beside the DLL.
foreach(argument DLL RECORDER OBJDUMP VERSION SOURCE DIST)
  if(NOT ${argument})
    message(FATAL_ERROR "make-dist: ${argument} is not set")
  endif()
endforeach()

set(folder ${DIST}/Ostrelle)
set(archive ${DIST}/Ostrelle-${VERSION}.zip)
file(GLOB earlier_archives ${DIST}/Ostrelle-*.zip)
file(REMOVE_RECURSE ${folder} ${earlier_archives})

file(COPY "${SOURCE}/assets/Radio SFX" DESTINATION ${folder})
file(COPY_FILE ${DLL} ${folder}/Ostrelle.dll)
# Apart, so that a player who copies the package's top folder does not install it by mistake.
file(MAKE_DIRECTORY "${folder}/Drive recorder")
file(COPY_FILE ${RECORDER} "${folder}/Drive recorder/Ostrelle-recorder.dll")
set(PROJECT_VERSION ${VERSION})
if(TUNER)
  if(NOT EXISTS ${TUNER})
    message(FATAL_ERROR "make-dist: TUNER '${TUNER}' is not a file")
  endif()
  file(COPY_FILE ${TUNER} ${folder}/Ostrelle-tuner.html)
endif()
foreach(text Ostrelle.ini README.txt)
  configure_file(${SOURCE}/assets/${text} ${folder}/${text} @ONLY NEWLINE_STYLE CRLF)
endforeach()

# The same import check as the win32 build's test, on the files that ship.
foreach(DLL ${folder}/Ostrelle.dll "${folder}/Drive recorder/Ostrelle-recorder.dll")
  include(${SOURCE}/tests/e2e/dll_imports.cmake)
endforeach()

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${SOURCE} log -1 --format=%ct OUTPUT_VARIABLE commit_time
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_git ERROR_QUIET)
  # Outside a git checkout: the earliest time a zip can hold, 1980-01-01.
  if(no_git)
    set(ENV{SOURCE_DATE_EPOCH} 315532800)
  else()
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  endif()
endif()
file(CHMOD_RECURSE ${folder} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                           WORLD_READ WORLD_EXECUTE)
file(GLOB_RECURSE entries RELATIVE ${DIST} ${folder}/*)
list(SORT entries)
foreach(entry IN LISTS entries)
  execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${DIST}/${entry})
endforeach()
list(JOIN entries "\n" listing)
file(WRITE ${DIST}/entries.txt "${listing}\n")
# zip -X: no owner and no extra times; -D: no folder entries; TZ: the times as UTC.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -q -X -D ${archive} -@
                INPUT_FILE ${DIST}/entries.txt WORKING_DIRECTORY ${DIST} RESULT_VARIABLE failed)
file(REMOVE ${DIST}/entries.txt)
if(failed)
  message(FATAL_ERROR "make-dist: could not write ${archive}")
endif()
message(STATUS "Packaged ${folder} as ${archive}")
