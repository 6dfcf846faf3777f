# Validates an LV2 bundle's metadata against the LV2 definitions installed with lv2-dev
# (lv2_validate, which needs sord_validate from sordi). Any error or warning fails, and so
# does a validator that did not run.
#   cmake -DVALIDATOR=<lv2_validate> -DBUNDLE=<bundle folder> -P ValidateBundle.cmake
foreach(variable VALIDATOR BUNDLE)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "" OR "${${variable}}" MATCHES "NOTFOUND$")
    message(FATAL_ERROR "${variable} is not set: install lv2-dev and sordi (scripts/packages.txt)")
  endif()
endforeach()

file(GLOB metadata "${BUNDLE}/*.ttl")
if(NOT metadata)
  message(FATAL_ERROR "${BUNDLE} holds no metadata")
endif()
execute_process(COMMAND "${VALIDATOR}" ${metadata}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REGEX MATCH "Found [0-9]+ errors" summary "${output}")
if(NOT result EQUAL 0 OR NOT summary STREQUAL "Found 0 errors" OR output MATCHES "(^|\n)(error|warning):")
  message(FATAL_ERROR "${BUNDLE} does not validate (exit status ${result}):\n${output}")
endif()
message(STATUS "${BUNDLE}: ${summary}")
