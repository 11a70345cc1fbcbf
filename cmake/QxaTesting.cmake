# GoogleTest from Debian's source package, built with the project's compiler (also for the
# cross build); nothing is downloaded.
set(QXA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QXA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(QXA_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${QXA_TEST_RESULTS})

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
endfunction()
