# How the test suites are registered, and what scripts/run-tests.sh relies on.
#
# - Every GoogleTest executable (and each validation run) writes a JUnit XML report to
#   test-results/<test>.xml; googletest-executables.txt names them, and the runner requires a
#   complete report from each, so every case, skip included, is counted.
# - Thread tests: an executable that holds one says so with the word THREADS in qxa_add_gtest
#   (a plain ctest entry: qxa_thread_test). That gives its ctest entry the label `threads` and
#   adds it to the target qxa_thread_tests; the linux-tsan run builds that target and runs
#   `ctest -L threads`, so the executable runs whole under ThreadSanitizer whatever its name.
# - Sanitizer reports end a test process with kSanitizerExitCode (66, also in
#   hostinterface/tests/binary_dir.h), apart from the 1 and 2 that qxahost answers to bad input,
#   so a test that expects a child to fail still notices a report from it.
# - Test sources compile as unity builds against one precompiled GoogleTest header per build
#   tree. Helpers in one test file's anonymous namespace share a translation unit with the other
#   files of its executable: give them names that do not clash.

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

# Test code (GoogleTest itself, the test executables and their precompiled header) is compiled
# without optimisation whatever the build type: what the tests exercise (engines, plug-ins,
# toolkit, host) keeps its own flags, and optimising the test sources took more than half of
# every build's compile time (a test file under ASan: 26 s at -O1, 12 s at -O0). The option
# comes after the build type's flags, so it wins.
set(QXA_TEST_COMPILE_OPTIONS -O0)
foreach(library gtest gtest_main gmock gmock_main)
  target_compile_options(${library} PRIVATE ${QXA_TEST_COMPILE_OPTIONS})
endforeach()

set(QXA_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${QXA_TEST_RESULTS})
# The ctest names of the tests that write a JUnit report, one a line: scripts/run-tests.sh
# requires a report with counts from each of them.
set(QXA_GTEST_LIST ${CMAKE_BINARY_DIR}/googletest-executables.txt)
file(WRITE ${QXA_GTEST_LIST} "")

set(QXA_SANITIZER_EXIT_CODE 66)
set(QXA_TEST_ENVIRONMENT)
if(QXA_SANITIZE)
  foreach(sanitizer ASAN UBSAN LSAN TSAN)
    list(APPEND QXA_TEST_ENVIRONMENT "${sanitizer}_OPTIONS=exitcode=${QXA_SANITIZER_EXIT_CODE}")
  endforeach()
endif()

# The thread tests' executables and what their runs load; the linux-tsan run builds only this.
add_custom_target(qxa_thread_tests)

# The precompiled GoogleTest and GoogleMock headers, built once per tree by an executable of
# their own so that every test executable (same flags, also -fPIE) can reuse them.
file(WRITE ${CMAKE_BINARY_DIR}/qxa_gtest_pch.cpp "int main() { return 0; }\n")
add_executable(qxa_gtest_pch EXCLUDE_FROM_ALL ${CMAKE_BINARY_DIR}/qxa_gtest_pch.cpp)
target_link_libraries(qxa_gtest_pch PRIVATE GTest::gtest_main GTest::gmock qxa_warnings)
target_compile_options(qxa_gtest_pch PRIVATE ${QXA_TEST_COMPILE_OPTIONS})
target_precompile_headers(qxa_gtest_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)

# qxa_test_report(<test> <variable>)
# The report path of a test, as its program sees it (under Wine Z: is the Unix root), and the
# test added to the list of those that must write one.
function(qxa_test_report test variable)
  if(WIN32)
    set(${variable} "Z:${QXA_TEST_RESULTS}/${test}.xml" PARENT_SCOPE)
  else()
    set(${variable} "${QXA_TEST_RESULTS}/${test}.xml" PARENT_SCOPE)
  endif()
  file(APPEND ${QXA_GTEST_LIST} "${test}\n")
endfunction()

# qxa_thread_test(<test> TARGETS ...)
# Marks a ctest entry as a thread test (label `threads`); TARGETS are what it runs and loads.
function(qxa_thread_test test)
  cmake_parse_arguments(ARG "" "" "TARGETS" ${ARGN})
  set_property(TEST ${test} APPEND PROPERTY LABELS threads)
  add_dependencies(qxa_thread_tests ${ARG_TARGETS})
endfunction()

# qxa_add_gtest(<target> [THREADS] SOURCES ... [LIBRARIES ...])
# One test executable, run by ctest as one test (on Windows through Wine); its cases are
# written to test-results/<target>.xml so the totals can be counted per case. THREADS: it holds
# thread tests, so it also runs under ThreadSanitizer (see the top of this file).
function(qxa_add_gtest target)
  cmake_parse_arguments(ARG "THREADS" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE GTest::gtest_main GTest::gmock qxa_warnings
                        ${ARG_LIBRARIES})
  target_precompile_headers(${target} REUSE_FROM qxa_gtest_pch)
  # A header that no longer matches the flags would be parsed again in silence.
  target_compile_options(${target} PRIVATE ${QXA_TEST_COMPILE_OPTIONS} -Winvalid-pch)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  qxa_test_report(${target} report)
  add_test(NAME ${target} COMMAND ${target} --gtest_output=xml:${report})
  # A crash under Wine starts its debugger, which waits for ever: a hung test fails instead.
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
  if(QXA_TEST_ENVIRONMENT)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${QXA_TEST_ENVIRONMENT}")
  endif()
  if(ARG_THREADS)
    qxa_thread_test(${target} TARGETS ${target})
  endif()
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
