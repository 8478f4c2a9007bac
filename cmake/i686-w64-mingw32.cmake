# Cross build of the real plug-in: Debian's MinGW-w64 for 32-bit Windows. The posix thread model,
# because GoogleTest (built here for the tests that run under Wine) needs std::mutex, which GCC 12's
# win32 model lacks; everything is linked statically, so no winpthread DLL is needed at run time.
# Ostrelle.dll alone is built with the win32 model (src/win32.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_DLLTOOL ${triple}-dlltool)
set(CMAKE_OBJDUMP ${triple}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# x87 arithmetic keeps excess precision and breaks strict 32-bit float comparisons (the roof gap):
# SSE for every target by default; the plug-in's core also asks for it itself (src/win32.cmake).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Keep the DLL's imports to bass.dll, KERNEL32.dll and msvcrt.dll (tests/e2e checks them).
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
