# Lays out a runnable launcher in DIST, with the names of the install layout
# (cmake/TavelinLayout.cmake):
#   Tavelin                      the launcher built for this machine
#   jre7/lib/server/libjvm.so    a link to JDK_HOME's VM library
#   jre7/bin/jvm.set             the heap setting, the default (900 MB) when new (kept when present)
#   cjars/client.app             the demo client's package
#   libQuenvil.so                the HID library, when HID_LIBRARY is given
# The JDK is only linked to: nothing is ever written below JDK_HOME.
foreach(var LAUNCHER PACKAGE JDK_HOME DIST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "assemble_dist.cmake needs -D${var}=...")
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/TavelinLayout.cmake)
set(vm_library ${JDK_HOME}/${TAVELIN_LAYOUT_RUNTIME_LIBRARY_POSIX})
if(NOT EXISTS ${vm_library})
  message(FATAL_ERROR "no Java VM library at ${vm_library}; install openjdk-17-jdk-headless or set JAVA_HOME")
endif()

set(runtime ${DIST}/${TAVELIN_LAYOUT_RUNTIME_FOLDER})
set(runtime_library ${runtime}/${TAVELIN_LAYOUT_RUNTIME_LIBRARY_POSIX})
set(heap_setting ${runtime}/${TAVELIN_LAYOUT_RUNTIME_BIN_FOLDER}/${TAVELIN_LAYOUT_HEAP_SETTING_NAME})
set(packages ${DIST}/${TAVELIN_LAYOUT_PACKAGE_FOLDER})
get_filename_component(runtime_library_folder ${runtime_library} DIRECTORY)
get_filename_component(heap_setting_folder ${heap_setting} DIRECTORY)
file(MAKE_DIRECTORY ${runtime_library_folder} ${heap_setting_folder} ${packages})
file(COPY_FILE ${LAUNCHER} ${DIST}/Tavelin ONLY_IF_DIFFERENT)
file(REMOVE ${runtime_library})
file(CREATE_LINK ${vm_library} ${runtime_library} SYMBOLIC)
if(NOT EXISTS ${heap_setting})
  # The default heap, two bytes, most significant first.
  math(EXPR high "${TAVELIN_LAYOUT_DEFAULT_HEAP_MB} >> 8" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR low "${TAVELIN_LAYOUT_DEFAULT_HEAP_MB} & 255" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "\\x" high ${high})
  string(REPLACE "0x" "\\x" low ${low})
  execute_process(COMMAND printf "${high}${low}" OUTPUT_FILE ${heap_setting})
endif()
file(GLOB old_packages ${packages}/*${TAVELIN_LAYOUT_PACKAGE_SUFFIX})
if(old_packages)
  file(REMOVE ${old_packages})
endif()
file(COPY_FILE ${PACKAGE} ${packages}/client${TAVELIN_LAYOUT_PACKAGE_SUFFIX})
if(DEFINED HID_LIBRARY)
  # Beside Tavelin, which makes its own directory the working directory.
  get_filename_component(hid_library_name ${HID_LIBRARY} NAME)
  file(COPY_FILE ${HID_LIBRARY} ${DIST}/${hid_library_name} ONLY_IF_DIFFERENT)
endif()
message(STATUS "dist ready: ${DIST}/Tavelin")
