# What ships (the module and the administrator's tool) must load on Windows 2000. The posix
# thread model's C++ runtime brings in the thread library, and with it imports that Windows 2000
# and XP lack; the win32 thread model's runtime does not. The test programs keep the posix
# runtime (GoogleTest and the stand-ins use std::mutex). The module's own code uses no C++
# threading, so its objects are the same for both: only the runtime linked into them differs.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
  OUTPUT_VARIABLE voduvo_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(voduvo_runtime_dir "${voduvo_libgcc}" DIRECTORY)
string(REGEX REPLACE "-posix$" "-win32" VODUVO_SHIPPED_RUNTIME_DIR "${voduvo_runtime_dir}")
if(NOT EXISTS "${VODUVO_SHIPPED_RUNTIME_DIR}/libstdc++.a")
  message(FATAL_ERROR "no win32 thread-model C++ runtime at ${VODUVO_SHIPPED_RUNTIME_DIR}")
endif()

# Links a shipped binary with that runtime (found first on the library path) and without symbols.
function(voduvo_shipped target)
  target_link_options(${target} PRIVATE -L${VODUVO_SHIPPED_RUNTIME_DIR} -s)
endfunction()
