# One warning policy for every target of the project.
function(wharfling_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  if(WHARFLING_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
