# The install layout: the names of what lies beside the launcher and the
# heap limits its jvm.set is held to, defined once here for every language.
# cmake/TavelinSharedConstants.cmake generates from this list
#
#   C++:   <build>/generated/include/tavelin/layout.h  ->  tavelin::layout::*,
#          taken into launcher/layout.h
#   shell: <build>/generated/layout.sh, sourced by scripts/package-win32, its
#          tests and scripts/bench (TAVELIN_LAYOUT_RUNTIME_FOLDER, ...)
#
# and CMake takes the variables TAVELIN_LAYOUT_<NAME> straight from this
# file, which sets nothing else and so can be included by a script run with
# cmake -P too (demo/assemble_dist.cmake). A renamed folder here changes the
# launcher, the MSI (what it installs and what its removal takes) and the
# dist layouts alike.
#
# Each entry: its name, its value, what it is. Text, unless the name ends in
# _MB (a number). The package folder and suffix reach C++ and Java as launch
# strings (tavelin/launch_strings.h), not in tavelin/layout.h.
set(TAVELIN_LAYOUT
  PACKAGE_FOLDER cjars "the client's packages, beside the launcher (also the first launch string's folder)"
  PACKAGE_SUFFIX .app "the packages' file-name ending (also the second launch string)"
  RUNTIME_FOLDER jre7 "the Java runtime, relative to the launcher's directory"
  RUNTIME_BIN_FOLDER bin "the runtime's bin folder, relative to RUNTIME_FOLDER"
  HEAP_SETTING_NAME jvm.set "the heap setting file in RUNTIME_BIN_FOLDER"
  RUNTIME_LIBRARY_WINDOWS bin/client/jvm.dll "the runtime library on Windows, relative to RUNTIME_FOLDER"
  RUNTIME_LIBRARY_POSIX lib/server/libjvm.so "the runtime library elsewhere, relative to RUNTIME_FOLDER"
  OUTPUT_LOG_NAME Tavelin.log "the output log (its previous generation: the name and \".1\")"
  TEMP_FOLDER_NAME temp "the VM's temporary folder"
  HEAP_DUMP_FOLDER_NAME dumps "the folder of the heap dumps and crash reports"
  HEAP_DUMP_SUFFIX .hprof "the file-name ending of a heap dump"
  CRASH_LOG_PREFIX hs_err_pid "the start of a crash report's name (the process id follows)"
  CRASH_LOG_SUFFIX .log "the end of a crash report's name"
  MINIDUMP_SUFFIX .mdmp "the file-name ending of a minidump"
  LIBRARY_COPY_FOLDER quenvil-copies "the client's private copies of Quenvil (made by the client, not the launcher)"
  DEFAULT_HEAP_MB 900 "the heap when jvm.set is missing or unreadable, and the installer's default"
  MIN_HEAP_MB 64 "the smallest heap jvm.set may give"
  MAX_HEAP_MB 2048 "the largest heap jvm.set may give")

list(LENGTH TAVELIN_LAYOUT layout_items)
math(EXPR layout_last "${layout_items} / 3 - 1")
set(TAVELIN_LAYOUT_NAMES "")
foreach(layout_entry RANGE ${layout_last})
  math(EXPR layout_at "${layout_entry} * 3")
  math(EXPR layout_value_at "${layout_at} + 1")
  list(GET TAVELIN_LAYOUT ${layout_at} layout_name)
  list(GET TAVELIN_LAYOUT ${layout_value_at} TAVELIN_LAYOUT_${layout_name})
  list(APPEND TAVELIN_LAYOUT_NAMES ${layout_name})
endforeach()
