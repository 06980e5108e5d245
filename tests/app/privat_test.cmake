# Like the other transfers through the program: built with the program, its
# turn on the display, a transfer server of its own.  Afterwards the
# reference reader opens the transfer the program sealed.
add_dependencies(${test_name} velmora kxprobe)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set(_transfer_address 127.0.0.24)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
set_tests_properties(${test_name} PROPERTIES
  FIXTURES_REQUIRED "gui_display;${test_name}_servers"
  FIXTURES_SETUP privat_referenz
  RESOURCE_LOCK gui_display
  RUN_SERIAL TRUE
  TIMEOUT 400)
add_test(NAME app_privat_referenz
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/privat_referenz.sh ${CMAKE_BINARY_DIR}/tests/app/privat_referenz)
set_tests_properties(app_privat_referenz PROPERTIES
  LABELS app
  FIXTURES_REQUIRED privat_referenz
  TIMEOUT 60)
