# The program under test and the probe are built first; its windows are
# photographed, so the test has the display to itself.
add_dependencies(${test_name} velmora kxprobe)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE)
