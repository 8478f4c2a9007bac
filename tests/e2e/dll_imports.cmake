# Ostrelle.dll must be a 32-bit PE DLL that imports only from bass.dll, KERNEL32.dll and
# msvcrt.dll, and imports bass.dll's entry points by their plain names: real Windows refuses a
# DLL that asks bass.dll for stdcall-decorated names such as BASS_Init@20.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

if(NOT dump MATCHES "file format pei-i386")
  message(FATAL_ERROR "${DLL} is not a 32-bit PE file")
endif()
if(NOT dump MATCHES "Characteristics 0x[0-9a-f]+\n([^\n]*\n)*[ \t]+DLL\n")
  message(FATAL_ERROR "${DLL} is not marked as a DLL")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imported "${dump}")
list(TRANSFORM imported REPLACE "^DLL Name: " "")
foreach(name IN LISTS imported)
  if(NOT name MATCHES "^(bass\\.dll|KERNEL32\\.dll|msvcrt\\.dll)$")
    message(FATAL_ERROR "${DLL} imports from ${name}")
  endif()
endforeach()

if(dump MATCHES "BASS_[A-Za-z]+@[0-9]+")
  message(FATAL_ERROR "${DLL} imports a decorated name: ${CMAKE_MATCH_0}")
endif()
list(JOIN imported ", " imported)
message(STATUS "${DLL}: PE32 DLL, imports ${imported}")
