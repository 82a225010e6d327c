# Writes Main.java with the class files of the resource URL handler and its
# connection as hex text in its constants HANDLER_CLASS_HEX and
# CONNECTION_CLASS_HEX, which the checked-in source leaves empty: the
# launcher defines Main alone, and Main defines those two from the text.
#   cmake -DSOURCE=<Main.java> -DCLASSES=<javac output of all three> -DOUTPUT=<Main.java to write>
#         -P embed_url_classes.cmake

file(READ "${SOURCE}" text)
foreach(class Handler HandlerConnection)
  set(file "${CLASSES}/com/mirl/runbed/${class}.class")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "no ${file} to embed")
  endif()
  file(READ "${file}" hex HEX)
  file(READ "${file}" head LIMIT 8 HEX)
  if(NOT head STREQUAL "cafebabe00000033")
    message(FATAL_ERROR "${file} is not a class file of version 51.0 (header ${head})")
  endif()
  if(class STREQUAL "Handler")
    set(constant HANDLER_CLASS_HEX)
  else()
    set(constant CONNECTION_CLASS_HEX)
  endif()
  string(FIND "${text}" "${constant} = \"\";" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${SOURCE} has no empty constant ${constant}")
  endif()
  string(REPLACE "${constant} = \"\";" "${constant} = \"${hex}\";" text "${text}")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
