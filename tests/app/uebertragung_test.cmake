# The program and the probe are built first; its windows are photographed, so
# the test takes its turn on the display with the other window tests, and it
# has a transfer server of its own.
add_dependencies(${test_name} velmora kxprobe)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set(_transfer_address 127.0.0.23)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
set_tests_properties(${test_name} PROPERTIES
  FIXTURES_REQUIRED "gui_display;${test_name}_servers"
  RESOURCE_LOCK gui_display
  RUN_SERIAL TRUE
  TIMEOUT 400)
