# The JDK and JUnit the build uses, found once for every subsystem.
#
# The JDK 17 is taken from, in this order: -DJAVA_HOME=<dir>, the JAVA_HOME
# environment variable, or the javac on the PATH (its links resolved to the
# JDK's own directory); CMake's FindJava then finds java and javac in it.
# javac is a host tool, so the cross build finds it the same way. Sets:
#
#   Java_JAVA_EXECUTABLE, Java_JAVAC_EXECUTABLE, Java_VERSION   (FindJava)
#   TAVELIN_JDK_HOME          the JDK's directory (in the cache, for the
#                             scripts that run its java or link its VM)
#   TAVELIN_JNI_INCLUDE_DIRS  jni.h and jni_md.h: the JDK's own, or in the
#                             32-bit Windows build the JDK's portable jni.h
#                             behind platform/win32/jni's jni_md.h
#   TAVELIN_JUNIT_JARS        JUnit 4 and hamcrest (find_jar), native builds
#
# and defines tavelin_add_junit_tests (below).

if(JAVA_HOME)
  set(tavelin_jdk_home ${JAVA_HOME})
elseif(DEFINED ENV{JAVA_HOME} AND NOT "$ENV{JAVA_HOME}" STREQUAL "")
  file(TO_CMAKE_PATH "$ENV{JAVA_HOME}" tavelin_jdk_home)
else()
  find_program(TAVELIN_PATH_JAVAC javac DOC "javac on the PATH, whose JDK the build uses")
  if(NOT TAVELIN_PATH_JAVAC)
    message(FATAL_ERROR "no javac on the PATH; install openjdk-17-jdk-headless or set JAVA_HOME to a JDK 17")
  endif()
  # /usr/bin/javac is a chain of links into the JDK's bin/.
  get_filename_component(tavelin_javac ${TAVELIN_PATH_JAVAC} REALPATH)
  get_filename_component(tavelin_jdk_home ${tavelin_javac} DIRECTORY)
  get_filename_component(tavelin_jdk_home ${tavelin_jdk_home} DIRECTORY)
endif()
if(NOT EXISTS ${tavelin_jdk_home}/include/jni.h)
  message(FATAL_ERROR "no JDK at ${tavelin_jdk_home} (no include/jni.h); set JAVA_HOME to a JDK 17")
endif()
# FindJava then takes java and javac from that one JDK, whatever else the
# PATH holds.
set(JAVA_HOME ${tavelin_jdk_home})
find_package(Java 17 COMPONENTS Runtime Development REQUIRED)
include(UseJava)
if(Java_VERSION VERSION_GREATER_EQUAL 20)
  # The bootstrap class and the clients are compiled for Java 7.
  message(FATAL_ERROR "javac ${Java_VERSION} cannot compile for Java 7; point JAVA_HOME at JDK 17")
endif()

set(TAVELIN_JDK_HOME ${tavelin_jdk_home} CACHE INTERNAL "JDK 17 the build and its tests use")
message(STATUS "JDK: ${TAVELIN_JDK_HOME} (javac ${Java_VERSION})")

if(WIN32)
  # The 32-bit Windows types and stdcall convention (jni_md.h) ahead of the
  # JDK's portable jni.h: jvm.dll's entry point and JNIEnv table are stdcall.
  set(TAVELIN_JNI_INCLUDE_DIRS ${PROJECT_SOURCE_DIR}/platform/win32/jni ${TAVELIN_JDK_HOME}/include)
else()
  string(TOLOWER ${CMAKE_SYSTEM_NAME} tavelin_jni_os)
  set(TAVELIN_JNI_INCLUDE_DIRS ${TAVELIN_JDK_HOME}/include ${TAVELIN_JDK_HOME}/include/${tavelin_jni_os})
  if(NOT EXISTS ${TAVELIN_JDK_HOME}/include/${tavelin_jni_os}/jni_md.h)
    message(FATAL_ERROR "no jni_md.h in ${TAVELIN_JDK_HOME}/include/${tavelin_jni_os}")
  endif()
endif()

# The Java tests run on the build machine only.
if(NOT CMAKE_CROSSCOMPILING)
  find_jar(TAVELIN_JUNIT_JAR NAMES junit4 junit DOC "JUnit 4 jar")
  find_jar(TAVELIN_HAMCREST_JAR NAMES hamcrest-core hamcrest hamcrest-all DOC "hamcrest jar for JUnit 4")
  if(NOT TAVELIN_JUNIT_JAR OR NOT TAVELIN_HAMCREST_JAR)
    message(FATAL_ERROR "JUnit 4 or hamcrest not found (Debian: junit4); "
                        "or pass -DTAVELIN_JUNIT_JAR=... -DTAVELIN_HAMCREST_JAR=...")
  endif()
  set(TAVELIN_JUNIT_JARS ${TAVELIN_JUNIT_JAR} ${TAVELIN_HAMCREST_JAR})
endif()

# tavelin_find_jars(VAR PACKAGE debian-packages PURPOSE text JARS name ...)
# Sets VAR to the jars of the system's Java libraries, each found with
# find_jar (cached as TAVELIN_<name>_JAR, which -D overrides); a missing one
# stops the configuration, naming the Debian packages that hold them.
function(tavelin_find_jars var)
  cmake_parse_arguments(F "" "PACKAGE;PURPOSE" "JARS" ${ARGN})
  set(found)
  foreach(jar IN LISTS F_JARS)
    string(MAKE_C_IDENTIFIER "TAVELIN_${jar}_JAR" jar_var)
    find_jar(${jar_var} NAMES ${jar} DOC "${jar} for ${F_PURPOSE}")
    if(NOT ${jar_var})
      message(FATAL_ERROR "${jar}.jar not found (Debian: ${F_PACKAGE})")
    endif()
    list(APPEND found ${${jar_var}})
  endforeach()
  set(${var} ${found} PARENT_SCOPE)
endfunction()

# tavelin_add_junit_tests(NAME name SOURCE_ROOT dir SOURCES a.java ...
#                         [CLASS_PATH entry ...] [JAVAC_OPTIONS opt ...]
#                         [JVM_OPTIONS opt ...] [ENVIRONMENT VAR=value ...]
#                         [LABELS label ...] [DEPENDS target ...])
#
# Compiles SOURCES (paths below the package root SOURCE_ROOT) against
# CLASS_PATH and JUnit into the jar <name>.jar of the current build folder
# (target <name>, built by default, after the DEPENDS targets) and adds one
# ctest entry per test class, a source named *Test.java: <name>_<Class>,
# running JUnitCore on that class in a JVM of its own with JVM_OPTIONS, the
# jar, CLASS_PATH and JUnit on the class path, and ENVIRONMENT. JAVAC_OPTIONS
# default to -Xlint:all -encoding UTF-8. Every entry also carries the label
# slow (a VM each: ctest -LE slow leaves them out).
function(tavelin_add_junit_tests)
  cmake_parse_arguments(J "" "NAME;SOURCE_ROOT"
    "SOURCES;CLASS_PATH;JAVAC_OPTIONS;JVM_OPTIONS;ENVIRONMENT;LABELS;DEPENDS" ${ARGN})
  if(NOT J_NAME OR NOT J_SOURCE_ROOT OR NOT J_SOURCES)
    message(FATAL_ERROR "tavelin_add_junit_tests needs NAME, SOURCE_ROOT and SOURCES")
  endif()
  if(NOT J_JAVAC_OPTIONS)
    set(J_JAVAC_OPTIONS -Xlint:all -encoding UTF-8)
  endif()
  set(CMAKE_JAVA_COMPILE_FLAGS ${J_JAVAC_OPTIONS})
  set(CMAKE_JAVA_INCLUDE_PATH ${J_CLASS_PATH} ${TAVELIN_JUNIT_JARS})
  add_jar(${J_NAME} SOURCES ${J_SOURCES} OUTPUT_DIR ${CMAKE_CURRENT_BINARY_DIR})
  if(J_DEPENDS)
    add_dependencies(${J_NAME} ${J_DEPENDS})
  endif()

  set(class_path ${CMAKE_CURRENT_BINARY_DIR}/${J_NAME}.jar ${J_CLASS_PATH} ${TAVELIN_JUNIT_JARS})
  string(REPLACE ";" ":" class_path "${class_path}")
  set(added 0)
  foreach(source IN LISTS J_SOURCES)
    if(NOT source MATCHES "Test\\.java$")
      continue()
    endif()
    file(RELATIVE_PATH relative ${J_SOURCE_ROOT} ${source})
    string(REGEX REPLACE "\\.java$" "" class ${relative})
    string(REPLACE "/" "." class ${class})
    get_filename_component(simple ${source} NAME_WE)
    set(test ${J_NAME}_${simple})
    add_test(NAME ${test}
      COMMAND ${Java_JAVA_EXECUTABLE} ${J_JVM_OPTIONS} -cp ${class_path} org.junit.runner.JUnitCore ${class})
    if(J_ENVIRONMENT)
      set_tests_properties(${test} PROPERTIES ENVIRONMENT "${J_ENVIRONMENT}")
    endif()
    set_tests_properties(${test} PROPERTIES LABELS "${J_LABELS};slow")
    math(EXPR added "${added} + 1")
  endforeach()
  if(added EQUAL 0)
    message(FATAL_ERROR "tavelin_add_junit_tests(${J_NAME}): no *Test.java among its sources")
  endif()
endfunction()
