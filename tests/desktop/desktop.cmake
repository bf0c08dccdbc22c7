# Desktop tests: the folder chooser, held keys and message dialogs. Those that
# need an X server start a private Xvfb and skip themselves where Xvfb,
# xdotool or zenity is missing. All carry the label "desktop".
file(GLOB PAGRIMO_DESKTOP_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/desktop/*_test.cpp)

add_executable(pagrimo_desktop_tests
  ${PAGRIMO_DESKTOP_TESTS}
  ${CMAKE_SOURCE_DIR}/tests/desktop/desktop_support.cpp)
target_link_libraries(pagrimo_desktop_tests PRIVATE pagrimo_test_support GTest::gtest_main)
add_dependencies(pagrimo_desktop_tests pagrimo)
gtest_discover_tests(pagrimo_desktop_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS desktop)
