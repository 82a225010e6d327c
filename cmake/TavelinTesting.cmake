# GoogleTest wiring shared by every subsystem.
#
# Native builds use Debian's prebuilt libgtest; the cross build compiles
# GoogleTest from /usr/src/googletest with the cross compiler. Each test
# program is one ctest entry; cross-built ones run through
# CMAKE_CROSSCOMPILING_EMULATOR (Wine), which add_test applies by itself.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(TAVELIN_GTEST_LIBS gtest gtest_main)
  # One Wine prefix per build tree: created before the first test, its
  # wineserver stopped after the last. Cross-built tests require the fixture.
  # scripts/wine-run reads the prefix's architecture from the cache: the
  # 64-bit test build runs under wine64. Where 32-bit programs cannot
  # execute here, the fixture boots the i386 machine (scripts/vm32) once for
  # the whole run, building its image first when there is none: the
  # generous timeout is for that one-time build.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVELIN_WINE_ARCH win64 CACHE INTERNAL "Wine architecture of this build's tests (scripts/wine-run)")
  else()
    set(TAVELIN_WINE_ARCH win32 CACHE INTERNAL "Wine architecture of this build's tests (scripts/wine-run)")
  endif()
  if(NOT TEST wine_prefix_boot)
    set(TAVELIN_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
    add_test(NAME wine_prefix_boot COMMAND ${TAVELIN_WINE_RUN} --boot ${CMAKE_BINARY_DIR})
    add_test(NAME wine_prefix_stop COMMAND ${TAVELIN_WINE_RUN} --stop ${CMAKE_BINARY_DIR})
    set_tests_properties(wine_prefix_boot PROPERTIES FIXTURES_SETUP wine LABELS "win32;slow" TIMEOUT 3600)
    set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine LABELS "win32;slow")
  endif()
  # The stage's own checks of what ships, beside the test programs (no
  # Wine prefix of this build): the deliverables' headers and resources
  # (label binaries) and the installer (label installer): its MSI, and that
  # MSI made from the win64 test build installed, upgraded, refused and
  # removed under wine64 (skipped, 77, where wine64 cannot run). Only the
  # 32-bit build ships.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT TEST win32_binaries)
    set(stage_scripts ${CMAKE_CURRENT_LIST_DIR}/../scripts)
    add_test(NAME win32_binaries COMMAND ${stage_scripts}/check-win32-binaries ${CMAKE_BINARY_DIR})
    add_test(NAME installer_msi COMMAND ${stage_scripts}/test-win32-installer msi ${CMAKE_BINARY_DIR})
    add_test(NAME installer_wine COMMAND ${stage_scripts}/test-win32-installer wine ${CMAKE_BINARY_DIR})
    set_tests_properties(win32_binaries PROPERTIES LABELS "win32;binaries")
    set_tests_properties(installer_msi installer_wine PROPERTIES LABELS "win32;installer;slow")
    # The Wine half builds what it needs of the win64 tree first.
    set_tests_properties(installer_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 3600)
  endif()
else()
  find_package(GTest REQUIRED)
  set(TAVELIN_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

# tavelin_add_gtest(NAME name SOURCES a.cpp ... [LIBS lib ...] [LABELS l ...])
# Cross-built tests also carry the labels win32 (ctest -L win32) and slow:
# each runs under Wine. ctest -LE slow is the inner loop: it leaves out the
# Wine, JUnit and end-to-end entries.
function(tavelin_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(CMAKE_CROSSCOMPILING)
    foreach(label win32 slow)
      if(NOT label IN_LIST T_LABELS)
        list(APPEND T_LABELS ${label})
      endif()
    endforeach()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${TAVELIN_GTEST_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()
