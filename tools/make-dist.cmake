# make dist: the players' package. Lays out DIST/Ostrelle/ (the DLL, the settings file, the
# sounds, a README) and zips it as DIST/Ostrelle-VERSION.zip, after checking the DLL's imports.
# The text files get Windows line ends and the version filled in.
# Arguments: DLL, OBJDUMP, VERSION, SOURCE (the source tree), DIST (where the package goes);
# optional TUNER: Ostrelle-tuner.html, put beside the DLL.
foreach(argument DLL OBJDUMP VERSION SOURCE DIST)
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

# The same import check as the win32 build's test, on the file that ships.
set(DLL ${folder}/Ostrelle.dll)
include(${SOURCE}/tests/e2e/dll_imports.cmake)

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip Ostrelle
                WORKING_DIRECTORY ${DIST} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "make-dist: could not write ${archive}")
endif()
message(STATUS "Packaged ${folder} as ${archive}")
