# The demo client under the built Tavelin, with Quenvil installed beside it:
# both runs of the client (the second one after an in-place restart, in a
# fresh class loader) list the devices of a fake sysfs tree, and a machine
# without devices says there are none.
foreach(var LAUNCHER PACKAGE HID_LIBRARY JDK_HOME WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "demo_listing.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
set(app ${WORK}/app)
file(MAKE_DIRECTORY ${app}/jre7/lib/server ${app}/jre7/bin ${app}/cjars ${WORK}/sysfs/class/hidraw)
file(COPY_FILE ${LAUNCHER} ${app}/Tavelin)
file(CREATE_LINK ${JDK_HOME}/lib/server/libjvm.so ${app}/jre7/lib/server/libjvm.so SYMBOLIC)
file(COPY_FILE ${PACKAGE} ${app}/cjars/client.app)
get_filename_component(library_name ${HID_LIBRARY} NAME)
file(COPY_FILE ${HID_LIBRARY} ${app}/${library_name})

function(run_demo output)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QUENVIL_SYSFS_ROOT=${WORK}/sysfs ${app}/Tavelin
    WORKING_DIRECTORY ${WORK}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Tavelin exited with ${rc}\n${out}\n${err}")
  endif()
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

function(expect_in text pattern)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "expected \"${pattern}\" in the demo's output:\n${text}")
  endif()
endfunction()

run_demo(out)
expect_in("${out}" "run 1: no HID devices found")
expect_in("${out}" "run 2: no HID devices found")

foreach(n 0 1)
  file(MAKE_DIRECTORY ${WORK}/sysfs/class/hidraw/hidraw${n})
  file(WRITE ${WORK}/sysfs/class/hidraw/hidraw${n}/uevent "MAJOR=240\nMINOR=${n}\nDEVNAME=hidraw${n}\n")
endforeach()
run_demo(out)
foreach(run 1 2)
  expect_in("${out}" "run ${run}: 2 HID device\\(s\\):\n[^\n]*run ${run}:   /dev/hidraw0\n[^\n]*run ${run}:   /dev/hidraw1\n")
endforeach()
# The restarted client cannot bind the file its first run bound.
expect_in("${out}" "run 2: HID library loaded a private copy")
# Made beside the launcher, where only those who install it can write, not
# in the temporary folder, which any user can prepare.
if(NOT IS_DIRECTORY ${app}/quenvil-copies)
  message(FATAL_ERROR "the private copy of ${library_name} was not made in ${app}/quenvil-copies")
endif()

# A library that cannot be loaded at all is no case for a private copy: no
# copy is made, so none is left behind.
file(REMOVE_RECURSE ${app}/quenvil-copies)
file(WRITE ${app}/${library_name} "not a library\n")
run_demo(out)
expect_in("${out}" "run 1: HID listing unavailable")
file(GLOB copies ${app}/quenvil-copies/*)
if(copies)
  message(FATAL_ERROR "a library that does not load left private copies: ${copies}")
endif()
message(STATUS "demo listed the HID devices in both runs")
