# Ostrelle.dll must be a 32-bit PE DLL that imports only from bass.dll, KERNEL32.dll and
# msvcrt.dll, and imports bass.dll's entry points by their plain names: real Windows refuses a
# DLL that asks bass.dll for stdcall-decorated names such as BASS_Init@20.
# It carries no C runtime start-up: no look-up of libgcc_s_dw2-1.dll (under the loader lock), no
# TLS directory (with one, Windows refuses DisableThreadLibraryCalls), and none of msvcrt's
# start-up or exit calls (an exit table run at the game's exit, msvcrt's lock, stdio).
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
if(NOT dump MATCHES "Entry 9 00000000 00000000 Thread Storage Directory")
  message(FATAL_ERROR "${DLL} has a TLS directory")
endif()
file(STRINGS ${DLL} libgcc REGEX "libgcc_s_dw2-1")
if(libgcc)
  message(FATAL_ERROR "${DLL} looks up libgcc_s_dw2-1.dll")
endif()
set(startup_imports _initterm _lock _unlock _amsg_exit abort atexit _onexit __dllonexit _iob
    vfprintf fwrite)
foreach(name IN LISTS startup_imports)
  # objdump -p lists an import as its hint and its name.
  if(dump MATCHES "\n[\t ]+[0-9a-f]+[\t ]+[0-9]+[\t ]+${name}\n")
    message(FATAL_ERROR "${DLL} imports msvcrt's start-up or exit call ${name}")
  endif()
endforeach()
# msvcrt makes a thread's own data the first time the thread needs it, and ends the process when
# it cannot: errno, and the mathematics that set it on a range error. Rows and settings are
# turned into text and numbers without them. strtod remains (the settings' last step), at start-up.
set(per_thread_imports _errno log10 frexp ldexp pow)
foreach(name IN LISTS per_thread_imports)
  if(dump MATCHES "\n[\t ]+[0-9a-f]+[\t ]+[0-9]+[\t ]+${name}\n")
    message(FATAL_ERROR "${DLL} imports ${name}, which may make msvcrt's per-thread data")
  endif()
endforeach()
list(JOIN imported ", " imported)
message(STATUS "${DLL}: PE32 DLL, imports ${imported}")
