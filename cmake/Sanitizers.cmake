# VENDRASOLITH_SANITIZERS instruments every target of the build, so the tests double as a
# memory-error, undefined-behaviour or data-race check:
#   address,undefined   ASan + UBSan (GCC or Clang)
#   thread              TSan
#   fuzzer,address,undefined   Clang only: everything is compiled with the fuzzer's coverage
#                       hooks; the fuzz targets themselves link the fuzzer's main
# Every report is fatal (-fno-sanitize-recover), so a test that trips one fails.
set(VENDRASOLITH_SANITIZERS "" CACHE STRING "Comma-separated sanitizers: address,undefined | thread | fuzzer,address,undefined")

set(VENDRASOLITH_FUZZING OFF)
if(VENDRASOLITH_SANITIZERS)
  string(REPLACE "," ";" _vendrasolith_sanitizer_list "${VENDRASOLITH_SANITIZERS}")

  set(_vendrasolith_compile_sanitizers ${_vendrasolith_sanitizer_list})
  set(_vendrasolith_link_sanitizers ${_vendrasolith_sanitizer_list})
  if("fuzzer" IN_LIST _vendrasolith_sanitizer_list)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "VENDRASOLITH_SANITIZERS=fuzzer needs Clang (CC=clang CXX=clang++)")
    endif()
    set(VENDRASOLITH_FUZZING ON)
    # Libraries and tests get the coverage hooks only; the fuzzer's main() is linked
    # into the fuzz targets alone (tests/fuzz).
    list(TRANSFORM _vendrasolith_compile_sanitizers REPLACE "^fuzzer$" "fuzzer-no-link")
    list(REMOVE_ITEM _vendrasolith_link_sanitizers fuzzer)
  endif()
  # GCC's undefined group leaves out float-to-int conversions that overflow, which are
  # exactly what corrupted parameter values and saved state produce.
  if("undefined" IN_LIST _vendrasolith_sanitizer_list)
    list(APPEND _vendrasolith_compile_sanitizers float-cast-overflow)
    list(APPEND _vendrasolith_link_sanitizers float-cast-overflow)
  endif()

  list(JOIN _vendrasolith_compile_sanitizers "," _vendrasolith_compile_joined)
  list(JOIN _vendrasolith_link_sanitizers "," _vendrasolith_link_joined)

  # Line tables are enough for symbolised reports, and -O1 halves the framework's compile
  # time against -O3 while keeping the tests quick. Configure with
  # -DCMAKE_BUILD_TYPE=RelWithDebInfo: in Release the framework's own flags put -O3 back.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(_vendrasolith_debug_info -gline-tables-only)
  else()
    set(_vendrasolith_debug_info -g1)
  endif()
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    message(STATUS "Sanitizers in a Release build compile the framework at -O3; RelWithDebInfo is much quicker")
  endif()

  add_compile_options(-fsanitize=${_vendrasolith_compile_joined} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -O1 ${_vendrasolith_debug_info})
  if(_vendrasolith_link_joined)
    add_link_options(-fsanitize=${_vendrasolith_link_joined})
  endif()
  message(STATUS "Sanitizers: compile ${_vendrasolith_compile_joined}; link ${_vendrasolith_link_joined}")
endif()
