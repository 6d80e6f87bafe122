# One warning level for every target of the project; the test run makes warnings errors.
option(VODUVO_WERROR "Treat compiler warnings as errors" OFF)

function(voduvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion
    -Wcast-qual -Wformat=2 -Wundef -Wnon-virtual-dtor -Wold-style-cast -Wnull-dereference)
  if(VODUVO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
