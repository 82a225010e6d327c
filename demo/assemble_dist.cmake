# Lays out a runnable launcher in DIST:
#   Tavelin                      the launcher built for this machine
#   jre7/lib/server/libjvm.so    a link to JDK_HOME's VM library
#   jre7/bin/jvm.set             the heap setting, 900 MB when new (kept when present)
#   cjars/client.app             the demo client's package
#   libQuenvil.so                the HID library, when HID_LIBRARY is given
# The JDK is only linked to: nothing is ever written below JDK_HOME.
foreach(var LAUNCHER PACKAGE JDK_HOME DIST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "assemble_dist.cmake needs -D${var}=...")
  endif()
endforeach()
set(vm_library ${JDK_HOME}/lib/server/libjvm.so)
if(NOT EXISTS ${vm_library})
  message(FATAL_ERROR "no Java VM library at ${vm_library}; install openjdk-17-jdk-headless or set JAVA_HOME")
endif()

file(MAKE_DIRECTORY ${DIST}/jre7/lib/server ${DIST}/jre7/bin ${DIST}/cjars)
file(COPY_FILE ${LAUNCHER} ${DIST}/Tavelin ONLY_IF_DIFFERENT)
file(REMOVE ${DIST}/jre7/lib/server/libjvm.so)
file(CREATE_LINK ${vm_library} ${DIST}/jre7/lib/server/libjvm.so SYMBOLIC)
if(NOT EXISTS ${DIST}/jre7/bin/jvm.set)
  # 900 MB, most significant byte first.
  execute_process(COMMAND printf "\\003\\204" OUTPUT_FILE ${DIST}/jre7/bin/jvm.set)
endif()
file(GLOB old_packages ${DIST}/cjars/*.app)
if(old_packages)
  file(REMOVE ${old_packages})
endif()
file(COPY_FILE ${PACKAGE} ${DIST}/cjars/client.app)
if(DEFINED HID_LIBRARY)
  # Beside Tavelin, which makes its own directory the working directory.
  get_filename_component(hid_library_name ${HID_LIBRARY} NAME)
  file(COPY_FILE ${HID_LIBRARY} ${DIST}/${hid_library_name} ONLY_IF_DIFFERENT)
endif()
message(STATUS "dist ready: ${DIST}/Tavelin")
