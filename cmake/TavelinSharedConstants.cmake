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
