# GoogleTest in both builds. Windows test executables run under the build tree's Wine
# (the emulator below); native ones run directly. One ctest entry per executable: Wine
# start-up costs a process each, so tests are batched into few executables.
include(CTest)

if(OV_WINDOWS)
  set(OV_WINE_ROOT "${CMAKE_BINARY_DIR}/wine")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/wine-env.sh.in" "${CMAKE_BINARY_DIR}/wine-env.sh" @ONLY)
  configure_file("${CMAKE_SOURCE_DIR}/cmake/wine-run.sh" "${CMAKE_BINARY_DIR}/wine-run.sh" COPYONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run.sh")
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  set(OV_GTEST_MAIN gtest_main)
  set(OV_GTEST gtest)
else()
  find_package(GTest REQUIRED)
  set(OV_GTEST_MAIN GTest::gtest_main)
  set(OV_GTEST GTest::gtest)
endif()

# A scratch folder for the tests inside the build tree (native tests use TMPDIR; under
# Wine the prefix's own temporary folder is inside the build tree already).
set(OV_TEST_SCRATCH "${CMAKE_BINARY_DIR}/test-scratch")
file(MAKE_DIRECTORY "${OV_TEST_SCRATCH}")

# ov_add_test(NAME SOURCES src... [LIBS lib...] [NO_MAIN] [TIMEOUT seconds])
#   One GoogleTest executable registered as one ctest test. NO_MAIN: the sources bring their
#   own main (for tests that need to start copies of themselves, for example).
function(ov_add_test name)
  cmake_parse_arguments(T "NO_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${OV_GTEST} ${T_LIBS})
  else()
    target_link_libraries(${name} PRIVATE ${OV_GTEST_MAIN} ${T_LIBS})
  endif()
  target_compile_definitions(${name} PRIVATE OV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "TMPDIR=${OV_TEST_SCRATCH};OV_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
