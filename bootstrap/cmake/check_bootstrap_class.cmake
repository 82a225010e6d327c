# Refuses a compiled bootstrap class the launcher could not use: the launcher
# defines exactly one class, and the shipped runtime reads class files up to
# version 51. On refusal every class file is removed, so the next build
# compiles again instead of taking the bad output for up to date.
#   cmake -DCLASS_DIR=<javac output> -DCLASS_FILE=<Main.class> -P check_bootstrap_class.cmake

function(refuse message)
  file(REMOVE_RECURSE "${CLASS_DIR}")
  message(FATAL_ERROR "bootstrap class: ${message}")
endfunction()

if(NOT EXISTS "${CLASS_FILE}")
  refuse("javac produced no ${CLASS_FILE}")
endif()

file(GLOB_RECURSE produced RELATIVE "${CLASS_DIR}" "${CLASS_DIR}/*.class")
foreach(class IN LISTS produced)
  if(NOT class STREQUAL "com/mirl/runbed/Main.class")
    refuse("javac produced ${class}; the class must be one class with no nested or anonymous classes")
  endif()
endforeach()

file(READ "${CLASS_FILE}" header LIMIT 8 HEX)
if(NOT header STREQUAL "cafebabe00000033")
  refuse("${CLASS_FILE} is not a class file of version 51.0 (header ${header})")
endif()
