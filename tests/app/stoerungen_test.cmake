# The program and the probe are built first; the test drives the program's
# windows, so it takes its turn on the display, and it has a transfer server
# of its own that it slows, kills, freezes and restarts.
add_dependencies(${test_name} velmora kxprobe)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set(_transfer_address 127.0.0.31)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
set_tests_properties(${test_name} PROPERTIES
  FIXTURES_REQUIRED "gui_display;${test_name}_servers"
  RESOURCE_LOCK gui_display
  RUN_SERIAL TRUE
  TIMEOUT 300)
