# tavelin_add_client_package(TARGET name PACKAGE out.app CLASSES dir
#                            VERSION v SOURCES a.java ... [ALL] [COMMENT text])
#
# Compiles a client's Java sources to Java 7 class files (what the shipped
# jre7 runs) and packs them with apppack into a package the bootstrap class
# accepts. Needs the apppack target, so call it after tools/ is added.
function(tavelin_add_client_package)
  cmake_parse_arguments(P "ALL" "TARGET;PACKAGE;CLASSES;VERSION;COMMENT" "SOURCES" ${ARGN})
  if(NOT P_COMMENT)
    set(P_COMMENT "Building the client package ${P_PACKAGE}")
  endif()
  add_custom_command(
    OUTPUT ${P_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${P_CLASSES}
    COMMAND ${Java_JAVAC_EXECUTABLE} --release 7 -Xlint:-options -encoding UTF-8 -d ${P_CLASSES} ${P_SOURCES}
    COMMAND ${CMAKE_BINARY_DIR}/tools/apppack pack -o ${P_PACKAGE} --version ${P_VERSION} ${P_CLASSES}
    DEPENDS ${P_SOURCES} apppack ${TAVELIN_APPPACK_JAR}
    COMMENT "${P_COMMENT}"
    VERBATIM)
  if(P_ALL)
    add_custom_target(${P_TARGET} ALL DEPENDS ${P_PACKAGE})
  else()
    add_custom_target(${P_TARGET} DEPENDS ${P_PACKAGE})
  endif()
endfunction()
