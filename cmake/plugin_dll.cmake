# ostrelle_plugin_dll(target LOAD_HANDLER file FRAME_WORK symbol SOURCES ... LIBS ...): one of the
# DLLs that hook the game's frame call (Ostrelle.dll and the drive recorder), with the flags both
# need, in one place.
# - The frame thunk (src/entry/frame_thunk_win32.S), with FRAME_WORK the symbol of the library's
#   frame work it calls.
# - The load handler (LOAD_HANDLER, which defines DllMain) runs before it knows whether the
#   processor has SSE2, so it is built without SSE (and so with the x87 unit for floating point,
#   of which it does none: tests/e2e checks).
# - DllMain is the entry point, with no C runtime start-up: MinGW's would look up
#   libgcc_s_dw2-1.dll with LoadLibraryA under the loader lock, give the DLL a TLS directory
#   (Windows then refuses DisableThreadLibraryCalls), and register an exit table that runs
#   msvcrt's lock and another module's code at the game's exit. Every global is initialised at
#   compile time, so nothing needs it (tests/e2e checks both).
# - Static runtime: the DLL imports only bass.dll, KERNEL32.dll and msvcrt.dll. Stripped, and it
#   exports nothing. No time stamp in the image: the same source gives the same bytes. The link
#   map beside it names every object linked in, for the checks in tests/e2e.
# Included by each folder that makes one: the thunk's language is enabled at file scope.
enable_language(ASM)
function(ostrelle_plugin_dll target)
  cmake_parse_arguments(D "" "LOAD_HANDLER;FRAME_WORK" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${D_LOAD_HANDLER} ${D_SOURCES}
              ${PROJECT_SOURCE_DIR}/src/entry/frame_thunk_win32.S)
  target_compile_definitions(${target} PRIVATE FRAME_WORK=${D_FRAME_WORK})
  set_source_files_properties(${D_LOAD_HANDLER}
                            PROPERTIES COMPILE_OPTIONS "-mno-sse;-mfpmath=387")
  set_target_properties(${target} PROPERTIES PREFIX "" LINKER_LANGUAGE CXX)
  target_link_libraries(${target} PRIVATE ${D_LIBS})
  target_link_options(${target} PRIVATE -static -nostartfiles -Wl,--entry,_DllMain@12 -s
                      -Wl,--exclude-all-symbols -Wl,--no-insert-timestamp
                      -Wl,-Map=${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
endfunction()
