# Host tests check what was built, never a copy installed on the machine: hosts scan the
# user's plug-in folders first and keep the first plug-in found under an identity. A test
# program given this runs with HOME pointed at a fresh temporary folder whose plug-in folders
# hold only links to the build's bundles, and can check that the plug-in its host loaded
# comes from one of them (tests/plugin/support/IsolatedPluginHome.h):
#
#   vendrasolith_isolate_host_test(<target> BUNDLES ".lv2=$<TARGET_FILE_DIR:Vendrasolith_LV2>" ...)
#
# Each entry names the folder under HOME that hosts scan for the format and a bundle the
# build makes for it. The program creates a hosttest::IsolatedPluginHome first thing in main.
set(VENDRASOLITH_HOST_TEST_SUPPORT_DIR "${PROJECT_SOURCE_DIR}/tests/plugin/support")

function(vendrasolith_isolate_host_test target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "BUNDLES")
  if(NOT ARG_BUNDLES)
    message(FATAL_ERROR "vendrasolith_isolate_host_test(${target}): no BUNDLES given")
  endif()
  list(JOIN ARG_BUNDLES "|" bundles)
  target_sources(${target} PRIVATE "${VENDRASOLITH_HOST_TEST_SUPPORT_DIR}/IsolatedPluginHome.cpp")
  target_include_directories(${target} PRIVATE "${VENDRASOLITH_HOST_TEST_SUPPORT_DIR}")
  target_compile_definitions(${target} PRIVATE "VENDRASOLITH_BUILD_BUNDLES=\"${bundles}\"")
endfunction()
