# The toolchain of the programs that run the DLL under Wine: MinGW's posix thread model (see
# mingw-i686.cmake).
set(mingw_thread_model posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
