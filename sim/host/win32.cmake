# ostrelle-host.exe, the game's stand-in under Wine, in OSTRELLE_HOST_DIR beside the recording
# bass.dll, with a plug-in folder (plugin/) holding Ostrelle.dll, its settings and its sounds.

# The image: linked at the game's base without dynamic base, nothing in it but the arena over the
# game's fixed addresses and a loader for the rest.
add_executable(ostrelle-host host_image_win32.cpp)
target_link_options(ostrelle-host PRIVATE -Wl,--image-base,0x400000 -Wl,--disable-dynamicbase)

# Not linked with ostrelle_core: its DllMain (the plug-in's) would become this DLL's.
add_library(ostrelle-host-core SHARED host_main_win32.cpp game_stand_in_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/entry/near_call.cpp ${PROJECT_SOURCE_DIR}/src/entry/plugin_directory.cpp)
target_link_libraries(ostrelle-host-core PRIVATE ostrelle_world)
set_target_properties(ostrelle-host-core PROPERTIES PREFIX "")
set_target_properties(ostrelle-host ostrelle-host-core PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${OSTRELLE_HOST_DIR})

set(plugin_folder ${OSTRELLE_HOST_DIR}/plugin)
add_custom_target(host_plugin_folder ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${plugin_folder}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Ostrelle> ${plugin_folder}/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/assets/Ostrelle.ini ${plugin_folder}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory "${PROJECT_SOURCE_DIR}/assets/Radio SFX"
          "${plugin_folder}/Radio SFX"
  DEPENDS Ostrelle
  COMMENT "Plug-in folder for ostrelle-host")
