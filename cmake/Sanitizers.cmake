# VENDRASOLITH_SANITIZERS=address,undefined (or thread) instruments every target of the
# build, so the tests double as a memory-error and data-race check.
set(VENDRASOLITH_SANITIZERS "" CACHE STRING "Comma-separated sanitizers: address,undefined or thread")
if(VENDRASOLITH_SANITIZERS)
  add_compile_options(-fsanitize=${VENDRASOLITH_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${VENDRASOLITH_SANITIZERS})
endif()
