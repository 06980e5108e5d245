include(${CMAKE_CURRENT_LIST_DIR}/gui_fixture.cmake)
# Real mouse input: one such test program on the display at a time.
set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK gui_real_input)
