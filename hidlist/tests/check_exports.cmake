# Fails unless LIBRARY defines exactly one dynamic symbol, the native method,
# and carries the load-time objects of the HID-only foundation parts.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(STRIP "${symbols}" symbols)
string(REGEX REPLACE "[^\n]* [A-Za-z] " "" names "${symbols}")
string(REPLACE "\n" ";" names "${names}")
if(NOT names STREQUAL "Java_com_vostrel_erp_hid_device_helper_HIDListHelper_jniHIDList")
  message(FATAL_ERROR "expected only the native method to be exported, found:\n${symbols}")
endif()
message(STATUS "exports: ${names}")

# The HID-only foundation objects made at load time must be linked in,
# although nothing in the library refers to them.
execute_process(COMMAND nm -C ${LIBRARY} OUTPUT_VARIABLE all_symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT all_symbols MATCHES "foundation::NetInfo::prototype")
  message(FATAL_ERROR "the NetInfo prototype's initialiser is not linked into ${LIBRARY}")
endif()
