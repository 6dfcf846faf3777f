# Installs a copy of the built bundle, under the same URI but declaring its second audio input
# as an output, into the .lv2 folder of a home folder made for the purpose (never the user's),
# then runs the LV2 host tests with HOME pointing there:
#   - isolated, as always, they must pass: they check the build, not the copy;
#   - told to use that home folder as it is, they must fail and name the copy they loaded,
#     which shows that the check can tell the two apart.
#
#   cmake -DHOST_TEST=<test program> -DBUNDLE=<built Vendrasolith.lv2> -DWORK=<scratch folder> -P ShadowedBundle.cmake
foreach(variable HOST_TEST BUNDLE WORK)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

set(home "${WORK}/home")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${home}/.lv2")
file(COPY "${BUNDLE}" DESTINATION "${home}/.lv2")
get_filename_component(bundle_name "${BUNDLE}" NAME)
set(altered_ttl "${home}/.lv2/${bundle_name}/dsp.ttl")

file(READ "${altered_ttl}" metadata)
set(second_input "a lv2:InputPort , lv2:AudioPort ;\n\t\tlv2:index 1 ;")
string(FIND "${metadata}" "${second_input}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "${altered_ttl} no longer declares port 1 as expected; update this proof")
endif()
string(REPLACE "${second_input}" "a lv2:OutputPort , lv2:AudioPort ;\n\t\tlv2:index 1 ;" metadata "${metadata}")
file(WRITE "${altered_ttl}" "${metadata}")

# The tests that read the bundle's metadata and audio; the window test needs a display.
set(run_host_tests "${HOST_TEST}" --gtest_filter=Lv2Bundle.*)

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "HOME=${home}" --unset=VENDRASOLITH_HOST_TESTS_USE_REAL_HOME ${run_host_tests}
  RESULT_VARIABLE isolated_result OUTPUT_VARIABLE isolated_output ERROR_VARIABLE isolated_output)
if(NOT isolated_result EQUAL 0)
  message(FATAL_ERROR "With an altered copy in ${home}/.lv2 the LV2 host tests fail, so they are not "
                      "checking the build's bundle alone:\n${isolated_output}")
endif()

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "HOME=${home}" VENDRASOLITH_HOST_TESTS_USE_REAL_HOME=1 ${run_host_tests}
  RESULT_VARIABLE shadowed_result OUTPUT_VARIABLE shadowed_output ERROR_VARIABLE shadowed_output)
string(FIND "${shadowed_output}" "${home}/.lv2/${bundle_name}" names_the_copy)
if(shadowed_result EQUAL 0 OR names_the_copy EQUAL -1 OR NOT shadowed_output MATCHES "not from this build")
  message(FATAL_ERROR "Pointed at ${home} without isolation the LV2 host tests should load the altered copy, "
                      "fail and name it (exit status ${shadowed_result}):\n${shadowed_output}")
endif()

file(REMOVE_RECURSE "${WORK}")
message(STATUS "isolated: the build's bundle was checked; without isolation the altered copy was loaded and reported")
