# One warning policy for every target of the project.
function(wharfling_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                         -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  # GCC 12 warns of overlapping copies in "text" + std::string once inlined at -O3 (a false alarm
  # its later releases no longer give), so a plain Release build would print a dozen of them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(WHARFLING_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
