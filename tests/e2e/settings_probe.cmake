# settings_probe: what the plug-in reads from a settings file, built for both platforms. Its
# output lands in tests/e2e of either build, where the comparison of the two finds it.
add_executable(settings_probe ${PROJECT_SOURCE_DIR}/tests/e2e/settings_probe.cpp)
target_link_libraries(settings_probe PRIVATE ostrelle_core)
set_target_properties(settings_probe PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/e2e)

# On Windows, the probe runs under Wine over the whole corpus and its output is compared line by
# line with the Linux probe's, which `make test` builds first with the native preset.
if(WIN32)
  add_test(NAME settings_probe_corpus
    COMMAND ${CMAKE_COMMAND}
            -DNATIVE_PROBE=${PROJECT_SOURCE_DIR}/build/native/tests/e2e/settings_probe
            -DWINDOWS_PROBE=$<TARGET_FILE:settings_probe>
            -DRUN_UNDER_WINE=${run_under_wine}
            -DCORPUS=${PROJECT_SOURCE_DIR}/tests/unit/platform/ini_corpus
            -P ${CMAKE_CURRENT_LIST_DIR}/settings_probe_compare.cmake)
  set_tests_properties(settings_probe_corpus PROPERTIES
    FIXTURES_REQUIRED wine ENVIRONMENT WINEPREFIX=${wine_prefix})
endif()
