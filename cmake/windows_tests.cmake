# Test registration in the Windows tree. Each test program runs as one CTest
# test under Wine: starting a Wine process per test case would cost more than
# the cases themselves. Takes the arguments the test folders pass to
# gtest_discover_tests (PROPERTIES with LABELS and TIMEOUT; the discovery
# options have no meaning here).
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "" "DISCOVERY_TIMEOUT;DISCOVERY_MODE" "PROPERTIES" ${ARGN})
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  set(properties TIMEOUT 300)
  if(arg_PROPERTIES)
    list(APPEND properties ${arg_PROPERTIES})
  endif()
  set_tests_properties(${target} PROPERTIES ${properties})
endfunction()
