# check-ini's core: what the plug-in will make of a settings file, for `ostrelle-sim check-ini`.
add_library(ostrelle_check_ini STATIC ${CMAKE_CURRENT_LIST_DIR}/check_ini.cpp)
target_include_directories(ostrelle_check_ini PUBLIC ${PROJECT_SOURCE_DIR}/sim)
target_link_libraries(ostrelle_check_ini PUBLIC ostrelle_core)
