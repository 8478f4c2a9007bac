# Cross build for 32-bit Windows with Debian's MinGW-w64, included by the two toolchain files that
# pick its thread model: mingw-i686-win32.cmake for Ostrelle.dll (the dll preset), whose runtime
# must register no vectored exception handler in the game's process (winpthreads, which the posix
# model links, does), and mingw-i686-posix.cmake for everything that only runs in our tests (the
# win32 preset), since GoogleTest needs std::mutex, which GCC 12's win32 model lacks. Everything
# links statically. Our two DLLs link none of the runtime's start-up code (see plugin_dll.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-${mingw_thread_model})
set(CMAKE_CXX_COMPILER ${triple}-g++-${mingw_thread_model})
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_DLLTOOL ${triple}-dlltool)
set(CMAKE_OBJDUMP ${triple}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# x87 arithmetic keeps excess precision and breaks strict 32-bit float comparisons (the roof gap):
# SSE for every target by default; the plug-in's core also asks for it itself (src/CMakeLists.txt).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Keep the DLL's imports to bass.dll, KERNEL32.dll and msvcrt.dll (tests/e2e checks them).
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
