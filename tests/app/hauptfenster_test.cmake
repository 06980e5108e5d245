# The main window is built with the program's button pictures.
target_sources(${test_name} PRIVATE $<TARGET_OBJECTS:velmora_ressourcen>)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE)
