# Unit tests sit beside the code they test; end-to-end tests in tests/ run
# the built program on real folders.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB_RECURSE PAGRIMO_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*_test.cpp)
if(WIN32)
  list(FILTER PAGRIMO_UNIT_TESTS EXCLUDE REGEX "/posix_test\\.cpp$")
else()
  list(FILTER PAGRIMO_UNIT_TESTS EXCLUDE REGEX "/win32_test\\.cpp$")
endif()
file(GLOB PAGRIMO_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)

add_library(pagrimo_test_support STATIC
  tests/support/test_support.cpp
  tests/support/run_posix.cpp)
target_include_directories(pagrimo_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pagrimo_test_support PUBLIC pagrimo_core GTest::gtest)
target_compile_definitions(pagrimo_test_support PUBLIC
  PAGRIMO_EXE="$<TARGET_FILE:pagrimo>"
  PAGRIMO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

add_executable(pagrimo_unit_tests ${PAGRIMO_UNIT_TESTS})
target_link_libraries(pagrimo_unit_tests PRIVATE pagrimo_test_support GTest::gtest_main)
gtest_discover_tests(pagrimo_unit_tests DISCOVERY_TIMEOUT 60)

add_executable(pagrimo_e2e_tests ${PAGRIMO_E2E_TESTS})
target_link_libraries(pagrimo_e2e_tests PRIVATE pagrimo_test_support GTest::gtest_main)
add_dependencies(pagrimo_e2e_tests pagrimo)
gtest_discover_tests(pagrimo_e2e_tests DISCOVERY_TIMEOUT 60)

# Every page of every bundled template, opened in headless Chromium; skipped
# where no Chromium is installed.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME browser_pages
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/browser/check_pages.py
      --program $<TARGET_FILE:pagrimo> --bundle ${CMAKE_BINARY_DIR}
      --samples ${CMAKE_SOURCE_DIR}/samples/photos --out ${CMAKE_BINARY_DIR}/browser)
  set_tests_properties(browser_pages PROPERTIES SKIP_RETURN_CODE 77 LABELS browser TIMEOUT 240)
endif()

# The Linux desktop tests.
if(NOT WIN32)
  include(${CMAKE_SOURCE_DIR}/tests/desktop/desktop.cmake)
endif()
