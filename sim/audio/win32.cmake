# bass.dll for the Windows host: records the plug-in's audio calls (bass_recording_win32.cpp).
# --kill-at exports the stdcall entry points by their plain names, as the real library does.
add_library(bass_recording SHARED ${CMAKE_CURRENT_LIST_DIR}/bass_recording_win32.cpp)
target_include_directories(bass_recording PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/sim)
set_target_properties(bass_recording PROPERTIES
  PREFIX "" OUTPUT_NAME bass RUNTIME_OUTPUT_DIRECTORY ${OSTRELLE_HOST_DIR})
target_link_options(bass_recording PRIVATE -Wl,--kill-at)
