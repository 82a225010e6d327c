# The callback check must pass a callback declared with its calling
# convention and refuse, at compile time, the same one declared without it.
# -DCOMPILER=... -DSOURCE_ROOT=... -DPROBE=...
foreach(variant with without)
  set(defines "")
  if(variant STREQUAL "with")
    set(defines -DDECLARED_WITH_CONVENTION)
  endif()
  execute_process(
    COMMAND ${COMPILER} -std=c++17 -fsyntax-only -I${SOURCE_ROOT} ${defines} ${PROBE}
    RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(variant STREQUAL "with" AND NOT result EQUAL 0)
    message(FATAL_ERROR "a callback with the right convention was refused:\n${errors}")
  endif()
  if(variant STREQUAL "without")
    if(result EQUAL 0)
      message(FATAL_ERROR "a callback without its calling convention compiled")
    endif()
    if(NOT errors MATCHES "calling convention included")
      message(FATAL_ERROR "refused, but not by the callback check:\n${errors}")
    endif()
  endif()
endforeach()
