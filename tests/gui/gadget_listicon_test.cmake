include(${CMAKE_CURRENT_LIST_DIR}/gui_fixture.cmake)
# Real input and pixels read from the screen: one such program on the display
# at a time.
set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK gui_display)
