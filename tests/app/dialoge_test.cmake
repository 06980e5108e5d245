# The dialogs are built as in the program.
target_sources(${test_name} PRIVATE $<TARGET_OBJECTS:velmora_ressourcen>)
include(${CMAKE_SOURCE_DIR}/tests/gui/gui_fixture.cmake)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE)
