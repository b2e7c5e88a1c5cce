# Warnings are set per target, so code of other projects pulled in later is not held to them.
option(VELMORA_WERROR "Treat warnings as errors" OFF)
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
