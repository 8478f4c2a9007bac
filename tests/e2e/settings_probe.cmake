# settings_probe: what the plug-in reads from a settings file, built for both platforms. Its
# output lands in tests/e2e of either build, where the comparison of the two finds it.
add_executable(settings_probe ${PROJECT_SOURCE_DIR}/tests/e2e/settings_probe.cpp)
target_link_libraries(settings_probe PRIVATE ostrelle_core)
set_target_properties(settings_probe PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)
