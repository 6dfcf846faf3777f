# FFTW3 in single precision, the renderer's fast FFT backend. Without it (not installed,
# or VENDRASOLITH_WITH_FFTW=OFF) the renderer still builds and runs on KISS FFT alone.
# vendrasolith_use_fftw(<target>) compiles the backend into a target when it is found.
option(VENDRASOLITH_WITH_FFTW "Transform with FFTW3 (single precision) where it is installed" ON)

set(VENDRASOLITH_HAVE_FFTW OFF)
if(VENDRASOLITH_WITH_FFTW)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(FFTW3F QUIET IMPORTED_TARGET fftw3f)
  endif()
  if(FFTW3F_FOUND)
    set(VENDRASOLITH_HAVE_FFTW ON)
    # The threads library only makes FFTW's planner safe for other plug-ins in the same
    # host; the renderer serialises its own planning either way.
    find_library(VENDRASOLITH_FFTW3F_THREADS fftw3f_threads HINTS ${FFTW3F_LIBRARY_DIRS})
    message(STATUS "FFT backends: FFTW ${FFTW3F_VERSION} (default) and KISS FFT")
  else()
    message(STATUS "FFT backends: KISS FFT only (FFTW3 single precision not found; install libfftw3-dev)")
  endif()
else()
  message(STATUS "FFT backends: KISS FFT only (VENDRASOLITH_WITH_FFTW is OFF)")
endif()

function(vendrasolith_use_fftw target)
  if(NOT VENDRASOLITH_HAVE_FFTW)
    return()
  endif()
  target_compile_definitions(${target} PRIVATE VENDRASOLITH_HAVE_FFTW=1)
  target_link_libraries(${target} PUBLIC PkgConfig::FFTW3F)
  if(VENDRASOLITH_FFTW3F_THREADS)
    target_compile_definitions(${target} PRIVATE VENDRASOLITH_HAVE_FFTW_THREADS=1)
    target_link_libraries(${target} PUBLIC "${VENDRASOLITH_FFTW3F_THREADS}")
  endif()
endfunction()
