# make dist: the players' package. Lays out DIST/Ostrelle/ (the DLL, the settings file, the
# sounds, a README, the drive recorder in a folder of its own) and zips it as
# DIST/Ostrelle-VERSION.zip, after checking the DLLs' imports. The text files get Windows line ends
# and the version filled in.
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

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip Ostrelle
                WORKING_DIRECTORY ${DIST} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "make-dist: could not write ${archive}")
endif()
message(STATUS "Packaged ${folder} as ${archive}")
