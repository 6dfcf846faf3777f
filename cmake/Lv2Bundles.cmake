# LV2 bundles, one per input layout. The framework's LV2 client fixes a binary's ports to the
# first channel configuration it is compiled with and writes metadata that cannot say which
# loudspeaker a port is, what unit a parameter has or what kind of plug-in this is. So each
# bundle compiles the client once more with its own URI and input count (about a dozen
# seconds), links the shared code compiled once, and gets its metadata from our own writer
# (src/plugin/lv2), which reads it off the processor as that binary makes it:
#
#   vendrasolith_add_lv2_bundle(<target> BUNDLE <folder name> URI <uri> NAME <name> INPUTS <channels>)
#
# Every bundle is recorded in the global properties VENDRASOLITH_LV2_TARGETS and
# VENDRASOLITH_LV2_BUNDLES (as "<target>|<uri>|<name>|<inputs>"), for the tests.
set(VENDRASOLITH_LV2_SOURCE_DIR "${PROJECT_SOURCE_DIR}/src/plugin/lv2")

# The framework's client includes this header for its URI, which each bundle defines itself.
set(VENDRASOLITH_LV2_DEFINES_DIR "${PROJECT_BINARY_DIR}/lv2-client")
file(WRITE "${VENDRASOLITH_LV2_DEFINES_DIR}/JuceLV2Defines.h"
  "#pragma once\n// JucePlugin_LV2URI is defined per bundle (cmake/Lv2Bundles.cmake).\n")

function(vendrasolith_add_lv2_bundle target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "BUNDLE;URI;NAME;INPUTS" "")
  foreach(argument BUNDLE URI NAME INPUTS)
    if(NOT DEFINED ARG_${argument})
      message(FATAL_ERROR "vendrasolith_add_lv2_bundle(${target}): ${argument} is not given")
    endif()
  endforeach()

  add_library(${target} MODULE)
  target_link_libraries(${target} PRIVATE Vendrasolith juce::juce_audio_plugin_client_LV2)
  target_include_directories(${target} BEFORE PRIVATE "${VENDRASOLITH_LV2_DEFINES_DIR}")
  target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:Vendrasolith,INCLUDE_DIRECTORIES>)
  target_compile_definitions(${target} PRIVATE
    JucePlugin_LV2URI="${ARG_URI}"
    "JucePlugin_PreferredChannelConfigurations={${ARG_INPUTS},2}")

  # The binary exports the two LV2 entry points alone, so that nothing of ours clashes with
  # other plug-ins, or with the other bundles, loaded into the same host.
  set(exports "${VENDRASOLITH_LV2_SOURCE_DIR}/Lv2Exports.map")
  target_link_options(${target} PRIVATE "LINKER:--no-undefined" "LINKER:--version-script=${exports}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${exports}")

  set(folder "$<GENEX_EVAL:$<TARGET_PROPERTY:Vendrasolith,LIBRARY_OUTPUT_DIRECTORY>>/LV2/${ARG_BUNDLE}.lv2")
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME "${ARG_BUNDLE}"
    LIBRARY_OUTPUT_DIRECTORY "${folder}"
    POSITION_INDEPENDENT_CODE TRUE
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN TRUE)

  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND vendrasolith_lv2_metadata "$<TARGET_FILE_DIR:${target}>" "$<TARGET_FILE_NAME:${target}>"
            "${ARG_URI}" "${ARG_NAME}" ${ARG_INPUTS}
    VERBATIM)
  add_dependencies(${target} vendrasolith_lv2_metadata)
  # The metadata is written after linking: a changed writer relinks the bundle, so that its
  # metadata is never older than the writer.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "$<TARGET_FILE:vendrasolith_lv2_metadata>")

  set_property(GLOBAL APPEND PROPERTY VENDRASOLITH_LV2_TARGETS ${target})
  set_property(GLOBAL APPEND PROPERTY VENDRASOLITH_LV2_BUNDLES "${target}|${ARG_URI}|${ARG_NAME}|${ARG_INPUTS}")
endfunction()
