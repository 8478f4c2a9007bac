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

# The DLL is the plug-in's code as a whole; it exports nothing.
add_library(Ostrelle SHARED $<TARGET_OBJECTS:ostrelle_core>)
add_dependencies(Ostrelle bass_import)
set_target_properties(Ostrelle PROPERTIES PREFIX "" OUTPUT_NAME Ostrelle)
target_link_libraries(Ostrelle PRIVATE ${bass_import})
target_link_options(Ostrelle PRIVATE -Wl,--exclude-all-symbols)
