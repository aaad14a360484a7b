# Warnings for our own targets only; third-party headers come in as system includes.
function(kest_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KEST_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
