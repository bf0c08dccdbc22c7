# Unit tests sit beside the code they test; end-to-end tests in tests/ run
# the built program on real folders. The Windows build adds the tests of its
# platform layer and tests/windows/, and runs everything under wine.
if(CMAKE_CROSSCOMPILING)
  # No GoogleTest package for the target: build Debian's sources with ours.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

file(GLOB_RECURSE PAGRIMO_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*_test.cpp)
file(GLOB PAGRIMO_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
if(WIN32)
  list(FILTER PAGRIMO_UNIT_TESTS EXCLUDE REGEX "/src/platform/posix/")
  file(GLOB PAGRIMO_WINDOWS_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/*_test.cpp)
  list(APPEND PAGRIMO_E2E_TESTS ${PAGRIMO_WINDOWS_E2E_TESTS})
  set(PAGRIMO_RUN_SOURCE tests/support/run_program_win32.cpp tests/support/pixels_win32.cpp)
else()
  list(FILTER PAGRIMO_UNIT_TESTS EXCLUDE REGEX "/src/platform/win32/")
  set(PAGRIMO_RUN_SOURCE tests/support/run_program_posix.cpp tests/support/pixels_posix.cpp)
endif()

# Under wine the tests see the build tree through drive Z:.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(PAGRIMO_HOST_ROOT "Z:")
else()
  set(PAGRIMO_HOST_ROOT "")
endif()

add_library(pagrimo_test_support STATIC
  tests/support/pictures.cpp
  tests/support/test_support.cpp
  ${CMAKE_SOURCE_DIR}/${PAGRIMO_RUN_SOURCE})
target_include_directories(pagrimo_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pagrimo_test_support PUBLIC pagrimo_core GTest::gtest)
if(NOT WIN32)
  target_link_libraries(pagrimo_test_support PRIVATE PkgConfig::VIPS)
endif()
target_compile_definitions(pagrimo_test_support PUBLIC
  PAGRIMO_EXE="${PAGRIMO_HOST_ROOT}$<TARGET_FILE:pagrimo>"
  PAGRIMO_SOURCE_DIR="${PAGRIMO_HOST_ROOT}${CMAKE_SOURCE_DIR}"
  PAGRIMO_VERSION="${PROJECT_VERSION}")

add_executable(pagrimo_unit_tests ${PAGRIMO_UNIT_TESTS})
target_link_libraries(pagrimo_unit_tests PRIVATE pagrimo_test_support GTest::gtest_main)
if(NOT WIN32)
  target_include_directories(pagrimo_unit_tests SYSTEM PRIVATE ${VIPS_INCLUDE_DIRS} ${FFMPEG_INCLUDE_DIRS})
endif()

add_executable(pagrimo_e2e_tests ${PAGRIMO_E2E_TESTS})
target_link_libraries(pagrimo_e2e_tests PRIVATE pagrimo_test_support GTest::gtest_main)
add_dependencies(pagrimo_e2e_tests pagrimo)

if(CMAKE_CROSSCOMPILING)
  # One CTest test per binary: every wine process start costs seconds. The
  # Japanese locale gives wine code page 932; without a display, message boxes
  # and the folder chooser cannot appear, so their text goes to standard error.
  # Japan's time zone (9 hours from UTC, whatever the host's) makes the local
  # time of a file differ from its UTC time.
  foreach(binary pagrimo_unit_tests pagrimo_e2e_tests)
    add_test(NAME ${binary} COMMAND ${binary})
    set_tests_properties(${binary} PROPERTIES
      ENVIRONMENT "WINEDEBUG=-all;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;TZ=JST-9"
      ENVIRONMENT_MODIFICATION "DISPLAY=unset:;WAYLAND_DISPLAY=unset:")
  endforeach()
  # The end-to-end cases once more with the UTF-8 code page (65001), which
  # the Hindi locale gives wine, as Windows' "Unicode UTF-8" setting does.
  add_test(NAME pagrimo_e2e_tests_utf8_code_page COMMAND pagrimo_e2e_tests)
  set_tests_properties(pagrimo_e2e_tests_utf8_code_page PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;LANG=hi_IN.UTF-8;LC_ALL=hi_IN.UTF-8;TZ=JST-9"
    ENVIRONMENT_MODIFICATION "DISPLAY=unset:;WAYLAND_DISPLAY=unset:")
  # The real folder chooser, cancelled on a private Xvfb (skipped without
  # Xvfb and xdotool). A host script: it drives wine, X and xdotool.
  add_test(NAME windows_chooser_cancel
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/chooser_cancel.sh
      $<TARGET_FILE:pagrimo> ${CMAKE_BINARY_DIR})
  set_tests_properties(windows_chooser_cancel PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8"
    SKIP_RETURN_CODE 77 TIMEOUT 300)
  # The root of a drive: a free drive letter of the wine prefix is pointed at a
  # fresh tree while the test runs.
  add_test(NAME windows_drive_root
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/drive_root.sh $<TARGET_FILE:pagrimo>)
  set_tests_properties(windows_drive_root PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8"
    ENVIRONMENT_MODIFICATION "DISPLAY=unset:;WAYLAND_DISPLAY=unset:"
    SKIP_RETURN_CODE 77 TIMEOUT 300)
  # The zip's install.cmd and uninstall.cmd: the folder menu entry in the
  # registry, in English and Japanese, its command run on a folder, and its
  # removal.
  add_test(NAME windows_menu_entry
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/menu_entry.sh
      $<TARGET_FILE:pagrimo> ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(windows_menu_entry PROPERTIES
    ENVIRONMENT "WINEDEBUG=-all;LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8"
    ENVIRONMENT_MODIFICATION "DISPLAY=unset:;WAYLAND_DISPLAY=unset:"
    TIMEOUT 300)
else()
  gtest_discover_tests(pagrimo_unit_tests DISCOVERY_TIMEOUT 60)
  gtest_discover_tests(pagrimo_e2e_tests DISCOVERY_TIMEOUT 60)
endif()

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

# cmake --install into a temporary prefix, and which settings and templates the
# installed program, the user's own and a portable copy choose.
if(NOT WIN32)
  add_test(NAME install_settings_lookup
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install_test.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR}
      ${CMAKE_SOURCE_DIR})
  # Its expected messages are the Japanese ones, which the C locale's
  # messages give, whatever the locale of the run.
  set_tests_properties(install_settings_lookup PROPERTIES TIMEOUT 120
    ENVIRONMENT LC_MESSAGES=C.UTF-8 ENVIRONMENT_MODIFICATION "LANGUAGE=unset:;LC_ALL=unset:")
endif()
