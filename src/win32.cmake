# Ostrelle.dll: the plug-in as the game's plug-in loader loads it.

# Import library for bass.dll with undecorated names (-k): real Windows resolves imports by exact
# name, and bass.dll exports BASS_Init, not BASS_Init@20.
set(bass_import ${CMAKE_CURRENT_BINARY_DIR}/libbass.a)
add_custom_command(
  OUTPUT ${bass_import}
  COMMAND ${CMAKE_DLLTOOL} -k -d ${CMAKE_CURRENT_SOURCE_DIR}/sound/bass.def -l ${bass_import}
  DEPENDS sound/bass.def
  COMMENT "Import library for bass.dll")
add_custom_target(bass_import DEPENDS ${bass_import})

# x87 arithmetic keeps excess precision and breaks the controller's strict 32-bit float
# comparisons (the roof gap). The toolchain file sets these flags for the whole build, but a
# CMAKE_CXX_FLAGS given on the command line replaces that default; the core states them itself.
target_compile_options(ostrelle_core PUBLIC -msse2 -mfpmath=sse)

# The DLL compiles its own copy of the core, with the core's sources, include folders, definitions
# and options, under MinGW's win32 thread model: the posix model links winpthreads, whose start-up
# registers a vectored exception handler and a TLS callback inside the game's process. The rest of
# the build keeps the posix model (GoogleTest needs std::mutex). Compiles swap the driver through
# the rule launcher, because <LANG>_COMPILER_LAUNCHER leaves assembly (the frame thunk) out.
add_library(Ostrelle SHARED $<TARGET_PROPERTY:ostrelle_core,SOURCES>)
foreach(property INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS)
  set_property(TARGET Ostrelle PROPERTY ${property} $<TARGET_PROPERTY:ostrelle_core,${property}>)
endforeach()
set(win32_thread_model ${PROJECT_SOURCE_DIR}/cmake/win32-thread-model)
set_target_properties(Ostrelle PROPERTIES
  PREFIX "" OUTPUT_NAME Ostrelle LINKER_LANGUAGE CXX
  RULE_LAUNCH_COMPILE ${win32_thread_model} CXX_LINKER_LAUNCHER ${win32_thread_model})
add_dependencies(Ostrelle bass_import)
target_link_libraries(Ostrelle PRIVATE ${bass_import})
# Static runtime: the DLL imports only bass.dll, KERNEL32.dll and msvcrt.dll (tests/e2e checks
# them). Stripped, and it exports nothing.
target_link_options(Ostrelle PRIVATE -static -s -Wl,--exclude-all-symbols)

# make dist: the players' package, dist/Ostrelle/ and dist/Ostrelle-<version>.zip in the source
# tree, the version being the project's.
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Ostrelle> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DVERSION=${PROJECT_VERSION} -DSOURCE=${PROJECT_SOURCE_DIR}
          -DDIST=${PROJECT_SOURCE_DIR}/dist -P ${PROJECT_SOURCE_DIR}/tools/make-dist.cmake
  VERBATIM)
add_dependencies(dist Ostrelle)
