# Ostrelle.dll's toolchain: MinGW's win32 thread model (see mingw-i686.cmake).
set(mingw_thread_model win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
