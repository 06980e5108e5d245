include(${CMAKE_CURRENT_LIST_DIR}/gui_fixture.cmake)
