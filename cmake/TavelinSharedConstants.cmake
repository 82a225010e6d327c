# Values that the launcher, the package tool and the tests must agree on,
# defined once here and generated into the build tree for each language:
#
#   TAVELIN_PACKAGE_KEY  the package key: the launcher's third launch string
#                        and the key apppack seals with unless given --key.
#                        (In the cache too, for scripts/bench.)
#
#   C++:  #include "tavelin/package_key.h"  ->  tavelin::PACKAGE_KEY
#         (<build>/generated/include, on every target's include path)
#   Java: com.mirl.apppack.PackageKey.DEFAULT, compiled into apppack.jar
#         (TAVELIN_PACKAGE_KEY_JAVA, the generated source)
#
# The bootstrap class takes the key from its launch strings and holds none.
#
#   The launch strings: the six texts the launcher hands the bootstrap class,
#   in the order of TAVELIN_LAUNCH_STRINGS, each with a named position, and
#   the layout names they are made of (the package folder beside the
#   launcher, the package suffix, the client's main class and its start and
#   stop methods).
#
#   C++:  #include "tavelin/launch_strings.h"  ->  tavelin::PACKAGE_FOLDER,
#         tavelin::LAUNCH_STRINGS[tavelin::LAUNCH_MAIN_CLASS], ...
#         (<build>/generated/include)
#   Java: com.mirl.apppack.LaunchStrings, compiled into apppack.jar
#         (TAVELIN_LAUNCH_STRINGS_JAVA, the generated source)
#
# The bootstrap class, one standalone class, receives these as its launch
# strings and names only their positions (its own copy, which
# PackageReadingTest compares with LaunchStrings). The cycle outcomes: at
# the end.

set(TAVELIN_PACKAGE_KEY 7305518826140943 CACHE INTERNAL "the launcher's package key")

set(TAVELIN_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/generated/include)
file(CONFIGURE OUTPUT ${TAVELIN_GENERATED_INCLUDE_DIR}/tavelin/package_key.h
  CONTENT [[// Generated from TAVELIN_PACKAGE_KEY in cmake/TavelinSharedConstants.cmake.
#pragma once

namespace tavelin {

// The package key: the third launch string, and apppack's default key.
inline constexpr char PACKAGE_KEY[] = "@TAVELIN_PACKAGE_KEY@";

}  // namespace tavelin
]] @ONLY)
include_directories(${TAVELIN_GENERATED_INCLUDE_DIR})

set(TAVELIN_PACKAGE_KEY_JAVA ${CMAKE_BINARY_DIR}/generated/java/com/mirl/apppack/PackageKey.java)
file(CONFIGURE OUTPUT ${TAVELIN_PACKAGE_KEY_JAVA}
  CONTENT [[// Generated from TAVELIN_PACKAGE_KEY in cmake/TavelinSharedConstants.cmake.
package com.mirl.apppack;

/** The launcher's package key; public for the tests and benchmarks that make packages. */
public final class PackageKey {

    /** The third launch string, and the key apppack seals with unless given --key. */
    public static final String DEFAULT = "@TAVELIN_PACKAGE_KEY@";

    private PackageKey() {
    }
}
]] @ONLY)

include(TavelinLayout)
set(TAVELIN_PACKAGE_FOLDER ${TAVELIN_LAYOUT_PACKAGE_FOLDER} CACHE INTERNAL "the package folder beside the launcher")
set(TAVELIN_PACKAGE_SUFFIX ${TAVELIN_LAYOUT_PACKAGE_SUFFIX} CACHE INTERNAL "the file-name ending of packages")
set(TAVELIN_CLIENT_MAIN_CLASS com.qv.java.client.QvClientMain CACHE INTERNAL "the client's main class")
set(TAVELIN_CLIENT_START_METHOD startServer CACHE INTERNAL "the client's static start method")
set(TAVELIN_CLIENT_STOP_METHOD endServer CACHE INTERNAL "the client's static stop method")

# The launch strings in their order: the name of each position, its value.
set(TAVELIN_LAUNCH_STRINGS
  PACKAGE_LOCATION "./${TAVELIN_PACKAGE_FOLDER}"
  PACKAGE_SUFFIX "${TAVELIN_PACKAGE_SUFFIX}"
  PACKAGE_KEY "${TAVELIN_PACKAGE_KEY}"
  MAIN_CLASS "${TAVELIN_CLIENT_MAIN_CLASS}"
  START_METHOD "${TAVELIN_CLIENT_START_METHOD}"
  STOP_METHOD "${TAVELIN_CLIENT_STOP_METHOD}")

set(cpp_positions "")
set(cpp_values "")
set(java_positions "")
set(java_values "")
list(LENGTH TAVELIN_LAUNCH_STRINGS pairs)
math(EXPR last "${pairs} / 2 - 1")
foreach(position RANGE ${last})
  math(EXPR at "${position} * 2")
  math(EXPR value_at "${at} + 1")
  list(GET TAVELIN_LAUNCH_STRINGS ${at} name)
  list(GET TAVELIN_LAUNCH_STRINGS ${value_at} value)
  string(APPEND cpp_positions "    LAUNCH_${name} = ${position},\n")
  string(APPEND cpp_values "    \"${value}\",\n")
  string(APPEND java_positions "    public static final int LAUNCH_${name} = ${position};\n")
  string(APPEND java_values "            \"${value}\",\n")
endforeach()
math(EXPR TAVELIN_LAUNCH_STRING_COUNT "${last} + 1")

file(CONFIGURE OUTPUT ${TAVELIN_GENERATED_INCLUDE_DIR}/tavelin/launch_strings.h
  CONTENT [[// Generated from cmake/TavelinSharedConstants.cmake.
#pragma once

#include <cstdint>

namespace tavelin {

// The package folder beside the launcher, the packages' file-name ending,
// the client's main class and its static start and stop methods.
inline constexpr char PACKAGE_FOLDER[] = "@TAVELIN_PACKAGE_FOLDER@";
inline constexpr char PACKAGE_SUFFIX[] = "@TAVELIN_PACKAGE_SUFFIX@";
inline constexpr char CLIENT_MAIN_CLASS[] = "@TAVELIN_CLIENT_MAIN_CLASS@";
inline constexpr char CLIENT_START_METHOD[] = "@TAVELIN_CLIENT_START_METHOD@";
inline constexpr char CLIENT_STOP_METHOD[] = "@TAVELIN_CLIENT_STOP_METHOD@";

// The position of each launch string.
enum LaunchString : int32_t {
@cpp_positions@};

inline constexpr int32_t LAUNCH_STRING_COUNT = @TAVELIN_LAUNCH_STRING_COUNT@;

// The launch strings, in their order.
inline constexpr const char* LAUNCH_STRINGS[LAUNCH_STRING_COUNT] = {
@cpp_values@};

}  // namespace tavelin
]] @ONLY)

set(TAVELIN_LAUNCH_STRINGS_JAVA ${CMAKE_BINARY_DIR}/generated/java/com/mirl/apppack/LaunchStrings.java)
file(CONFIGURE OUTPUT ${TAVELIN_LAUNCH_STRINGS_JAVA}
  CONTENT [[// Generated from cmake/TavelinSharedConstants.cmake.
package com.mirl.apppack;

/**
 * The launcher's launch strings and the layout names they are made of;
 * public for the tests and benchmarks that run the bootstrap class.
 */
public final class LaunchStrings {

    /** The package folder beside the launcher. */
    public static final String PACKAGE_FOLDER = "@TAVELIN_PACKAGE_FOLDER@";

    /** The packages' file-name ending. */
    public static final String PACKAGE_SUFFIX = "@TAVELIN_PACKAGE_SUFFIX@";

    /** The client's main class and its static start and stop methods. */
    public static final String CLIENT_MAIN_CLASS = "@TAVELIN_CLIENT_MAIN_CLASS@";
    public static final String CLIENT_START_METHOD = "@TAVELIN_CLIENT_START_METHOD@";
    public static final String CLIENT_STOP_METHOD = "@TAVELIN_CLIENT_STOP_METHOD@";

    /** The position of each launch string. */
@java_positions@
    public static final int LAUNCH_STRING_COUNT = @TAVELIN_LAUNCH_STRING_COUNT@;

    private LaunchStrings() {
    }

    /** The launcher's launch strings, in their order (a new array). */
    public static String[] launcher() {
        return new String[] {
@java_values@        };
    }
}
]] @ONLY)

# How the bootstrap class's last load cycle ended: the values of its static
# int cycleOutcome, which the launcher reads over JNI once main returned.
#
#   C++:  #include "tavelin/cycle_outcome.h"  ->  tavelin::CYCLE_NO_CLIENT, ...
#   Java: com.mirl.apppack.CycleOutcome, compiled into apppack.jar
#         (TAVELIN_CYCLE_OUTCOME_JAVA); the bootstrap class keeps its own
#         copy, which PackageReadingTest compares with it.
set(TAVELIN_CYCLE_OUTCOMES
  NO_CLIENT "no client class was loaded (also before the first cycle)"
  START_FAILED "the client class loaded, but its start method was missing, could not be called or threw"
  START_RETURNED "the client's start method was called and returned")
set(cpp_outcomes "")
set(java_outcomes "")
list(LENGTH TAVELIN_CYCLE_OUTCOMES pairs)
math(EXPR last "${pairs} / 2 - 1")
foreach(value RANGE ${last})
  math(EXPR at "${value} * 2")
  math(EXPR meaning_at "${at} + 1")
  list(GET TAVELIN_CYCLE_OUTCOMES ${at} name)
  list(GET TAVELIN_CYCLE_OUTCOMES ${meaning_at} meaning)
  string(APPEND cpp_outcomes "    CYCLE_${name} = ${value},  // ${meaning}\n")
  string(APPEND java_outcomes "    /** ${meaning} */\n    public static final int CYCLE_${name} = ${value};\n")
endforeach()
file(CONFIGURE OUTPUT ${TAVELIN_GENERATED_INCLUDE_DIR}/tavelin/cycle_outcome.h
  CONTENT [[// Generated from TAVELIN_CYCLE_OUTCOMES in cmake/TavelinSharedConstants.cmake.
#pragma once
#include <cstdint>
namespace tavelin {
// How the bootstrap class's last load cycle ended: the values of its static
// int cycleOutcome.
enum CycleOutcome : int32_t {
@cpp_outcomes@};
}  // namespace tavelin
]] @ONLY)
set(TAVELIN_CYCLE_OUTCOME_JAVA ${CMAKE_BINARY_DIR}/generated/java/com/mirl/apppack/CycleOutcome.java)
file(CONFIGURE OUTPUT ${TAVELIN_CYCLE_OUTCOME_JAVA}
  CONTENT [[// Generated from TAVELIN_CYCLE_OUTCOMES in cmake/TavelinSharedConstants.cmake.
package com.mirl.apppack;
/** The values of the bootstrap class's cycleOutcome; public for the tests. */
public final class CycleOutcome {
@java_outcomes@
    private CycleOutcome() {
    }
}
]] @ONLY)

# The install layout (cmake/TavelinLayout.cmake), for C++ and for the
# scripts:
#
#   C++:   #include "tavelin/layout.h"  ->  tavelin::layout::RUNTIME_FOLDER, ...
#          (<build>/generated/include; launcher/layout.h takes them in)
#   shell: source <build>/generated/layout.sh  ->  TAVELIN_LAYOUT_RUNTIME_FOLDER, ...
#          (TAVELIN_LAYOUT_SH)
set(cpp_layout "")
set(sh_layout "")
foreach(name IN LISTS TAVELIN_LAYOUT_NAMES)
  list(FIND TAVELIN_LAYOUT ${name} at)
  math(EXPR meaning_at "${at} + 2")
  list(GET TAVELIN_LAYOUT ${meaning_at} meaning)
  set(value "${TAVELIN_LAYOUT_${name}}")
  string(APPEND sh_layout "# ${meaning}\nTAVELIN_LAYOUT_${name}='${value}'\n")
  if(name MATCHES "^PACKAGE_")
    continue()
  elseif(name MATCHES "_MB$")
    string(APPEND cpp_layout "// ${meaning}\ninline constexpr int32_t ${name} = ${value};\n")
  else()
    string(APPEND cpp_layout "// ${meaning}\ninline constexpr char ${name}[] = \"${value}\";\n")
  endif()
endforeach()
# The runtime library as the launcher names it on each system: relative to
# its directory, with the system's separator.
string(REPLACE "/" "\\\\" runtime_library_windows
  "${TAVELIN_LAYOUT_RUNTIME_FOLDER}/${TAVELIN_LAYOUT_RUNTIME_LIBRARY_WINDOWS}")
set(runtime_library_posix "${TAVELIN_LAYOUT_RUNTIME_FOLDER}/${TAVELIN_LAYOUT_RUNTIME_LIBRARY_POSIX}")
file(CONFIGURE OUTPUT ${TAVELIN_GENERATED_INCLUDE_DIR}/tavelin/layout.h
  CONTENT [[// Generated from TAVELIN_LAYOUT in cmake/TavelinLayout.cmake.
#pragma once
#include <cstdint>
namespace tavelin::layout {
@cpp_layout@
// The runtime library, relative to the launcher's directory.
#ifdef _WIN32
inline constexpr char RUNTIME_LIBRARY_PATH[] = "@runtime_library_windows@";
#else
inline constexpr char RUNTIME_LIBRARY_PATH[] = "@runtime_library_posix@";
#endif
}  // namespace tavelin::layout
]] @ONLY)
set(TAVELIN_LAYOUT_SH ${CMAKE_BINARY_DIR}/generated/layout.sh)
file(CONFIGURE OUTPUT ${TAVELIN_LAYOUT_SH}
  CONTENT [[# Generated from TAVELIN_LAYOUT in cmake/TavelinLayout.cmake; source it.
# shellcheck shell=sh
@sh_layout@]] @ONLY)
