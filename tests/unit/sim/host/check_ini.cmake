# check-ini's core, over settings files written by the test.
ostrelle_unit_test(sim_host_check_ini_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/check_ini_test.cpp
  LIBS ostrelle_check_ini test_support)
