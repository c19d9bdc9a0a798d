# Every target of the project compiles with the same strict warnings.
function(tavrelo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(TAVRELO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
