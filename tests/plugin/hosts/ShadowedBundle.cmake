# Installs a copy of a built bundle into the plug-in folder of a home folder made for the
# purpose (never the user's), then runs that format's host tests with HOME pointing there:
#   - isolated, as always, they must pass: they check the build, not the copy;
#   - told to use that home folder as it is, they must fail and name the copy they loaded,
#     which shows that the check can tell the two apart.
# The LV2 copy keeps the URI but declares its second audio input as an output, so that the
# copy's metadata, read first, would mislead the tests too; the VST3 copy is unchanged.
#
#   cmake -DFORMAT=lv2|vst3 -DHOST_TEST=<test program> -DBUNDLE=<built bundle> -DWORK=<scratch folder> -P ShadowedBundle.cmake
foreach(variable FORMAT HOST_TEST BUNDLE WORK)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

set(home "${WORK}/home")
set(folder "${home}/.${FORMAT}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${folder}")
get_filename_component(BUNDLE "${BUNDLE}" ABSOLUTE)
file(COPY "${BUNDLE}" DESTINATION "${folder}")
get_filename_component(bundle_name "${BUNDLE}" NAME)

if(FORMAT STREQUAL "lv2")
  set(altered_ttl "${folder}/${bundle_name}/dsp.ttl")
  file(READ "${altered_ttl}" metadata)
  set(second_input "a lv2:InputPort , lv2:AudioPort ;\n\t\tlv2:index 1 ;")
  string(FIND "${metadata}" "${second_input}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${altered_ttl} no longer declares port 1 as expected; update this proof")
  endif()
  string(REPLACE "${second_input}" "a lv2:OutputPort , lv2:AudioPort ;\n\t\tlv2:index 1 ;" metadata "${metadata}")
  file(WRITE "${altered_ttl}" "${metadata}")
  set(suite Lv2Bundle)
else()
  set(suite Vst3Bundle)
endif()

# The tests that read the bundle's metadata and audio; the window test needs a display.
set(run_host_tests "${HOST_TEST}" --gtest_filter=*${suite}.*)

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "HOME=${home}" --unset=VENDRASOLITH_HOST_TESTS_USE_REAL_HOME ${run_host_tests}
  RESULT_VARIABLE isolated_result OUTPUT_VARIABLE isolated_output ERROR_VARIABLE isolated_output)
if(NOT isolated_result EQUAL 0)
  message(FATAL_ERROR "With a copy in ${folder} the ${FORMAT} host tests fail, so they are not "
                      "checking the build's bundle alone:\n${isolated_output}")
endif()

execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "HOME=${home}" VENDRASOLITH_HOST_TESTS_USE_REAL_HOME=1 ${run_host_tests}
  RESULT_VARIABLE shadowed_result OUTPUT_VARIABLE shadowed_output ERROR_VARIABLE shadowed_output)
string(FIND "${shadowed_output}" "${folder}/${bundle_name}" names_the_copy)
if(shadowed_result EQUAL 0 OR names_the_copy EQUAL -1 OR NOT shadowed_output MATCHES "not from this build")
  message(FATAL_ERROR "Pointed at ${home} without isolation the ${FORMAT} host tests should load the copy, "
                      "fail and name it (exit status ${shadowed_result}):\n${shadowed_output}")
endif()

file(REMOVE_RECURSE "${WORK}")
message(STATUS "isolated: the build's bundle was checked; without isolation the copy was loaded and reported")
