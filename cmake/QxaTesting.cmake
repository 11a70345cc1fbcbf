# GoogleTest from Debian's source package, built with the project's compiler and sanitizer flags
# (the cross build has no prebuilt library, and a prebuilt one would escape ThreadSanitizer);
# nothing is downloaded.
find_path(QXA_GTEST_SOURCE NAMES googletest/include/gtest/gtest.h
          PATHS /usr/src/googletest NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
          DOC "GoogleTest sources (googletest and googlemock)")
if(NOT QXA_GTEST_SOURCE OR NOT EXISTS ${QXA_GTEST_SOURCE}/googlemock/include/gmock/gmock.h)
  set(looked_in /usr/src/googletest)
  if(QXA_GTEST_SOURCE)
    set(looked_in ${QXA_GTEST_SOURCE})
  endif()
  message(FATAL_ERROR "GoogleTest's sources (googletest and googlemock) are missing from "
                      "${looked_in}: install the Debian package googletest, or pass "
                      "-DQXA_GTEST_SOURCE=DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QXA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(QXA_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${QXA_TEST_RESULTS})
# The ctest names of the GoogleTest executables, one a line: scripts/run-tests.sh requires a
# report with counts from each of them.
set(QXA_GTEST_LIST ${CMAKE_BINARY_DIR}/googletest-executables.txt)
file(WRITE ${QXA_GTEST_LIST} "")

# qxa_add_gtest(<target> SOURCES ... [LIBRARIES ...])
# One test executable, run by ctest as one test (on Windows through Wine); its cases are
# written to test-results/<target>.xml so the totals can be counted per case.
function(qxa_add_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock qxa_warnings
                        ${ARG_LIBRARIES})
  # Under Wine the report path needs a drive: Z: is the Unix root there.
  if(WIN32)
    set(report "Z:${QXA_TEST_RESULTS}/${target}.xml")
  else()
    set(report "${QXA_TEST_RESULTS}/${target}.xml")
  endif()
  add_test(NAME ${target} COMMAND ${target} --gtest_output=xml:${report})
  # A crash under Wine starts its debugger, which waits for ever: a hung test fails instead.
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
  file(APPEND ${QXA_GTEST_LIST} "${target}\n")
endfunction()

# qxa_add_editor_window_test(<target> PLUGIN <plug-in target> REFERENCES <folder name>
#                            SOURCES ... [INCLUDE_DIRECTORIES ...])
# A plug-in's editor window tests (Windows; Wine in CI): the built plug-in in a host window
# (host/tests/win32), and its reference snapshots, reference/ beside the calling CMakeLists,
# copied to bin/reference/<folder name> where the tests read them.
function(qxa_add_editor_window_test target)
  cmake_parse_arguments(ARG "" "PLUGIN;REFERENCES" "SOURCES;INCLUDE_DIRECTORIES" ${ARGN})
  qxa_add_gtest(${target} SOURCES ${ARG_SOURCES} LIBRARIES qxahost_editor_test_support)
  target_include_directories(${target} PRIVATE ${ARG_INCLUDE_DIRECTORIES})
  add_custom_target(${target}_references
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR}/reference
            ${QXA_BIN_DIR}/reference/${ARG_REFERENCES})
  add_dependencies(${target} ${ARG_PLUGIN} ${target}_references)
endfunction()
