# Our own code builds warning-free at a strict level; third-party code keeps its own flags.
function(vendrasolith_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion
                                           -Wnon-virtual-dtor -Woverloaded-virtual -Wdeprecated-declarations)
endfunction()
