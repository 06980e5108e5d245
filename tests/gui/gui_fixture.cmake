# Included by every window test's own .cmake: the Wine display settings the
# window tests need, set once per run before them.  Without a window manager
# on the test display, Wine waits two seconds for every visible window that
# goes away unless its windows are unmanaged.
if(NOT TEST gui_display_settings)
  add_test(NAME gui_display_settings
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh reg add "HKCU\\Software\\Wine\\X11 Driver"
                   /v Managed /d N /f)
  set_tests_properties(gui_display_settings PROPERTIES FIXTURES_SETUP gui_display LABELS gui TIMEOUT 120)
endif()
set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED gui_display TIMEOUT 120)
