# Included by every window test's own .cmake: what the window tests need,
# set up once per run before them.
#  - Without a window manager on the test display, Wine waits two seconds for
#    every visible window that goes away unless its windows are unmanaged.
#  - The input server runs xdotool for the tests (real keyboard and mouse).
#  - The window tests take turns on the display: real input goes to the
#    window that has the focus, which a test running beside them would take.
if(NOT TEST gui_display_settings)
  add_test(NAME gui_display_settings
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh reg add "HKCU\\Software\\Wine\\X11 Driver"
                   /v Managed /d N /f)
  add_test(NAME gui_input_start COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/xdo_server.sh start ${CMAKE_BINARY_DIR}/xdo)
  add_test(NAME gui_input_stop COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/xdo_server.sh stop ${CMAKE_BINARY_DIR}/xdo)
  set_tests_properties(gui_display_settings gui_input_start PROPERTIES FIXTURES_SETUP gui_display LABELS gui
                       TIMEOUT 120)
  set_tests_properties(gui_input_stop PROPERTIES FIXTURES_CLEANUP gui_display LABELS gui TIMEOUT 120)
endif()
set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED gui_display RESOURCE_LOCK gui_display TIMEOUT 120)
