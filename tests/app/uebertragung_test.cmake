# The program under test is built first; its windows are photographed, so the
# test has the display to itself.
set(_transfer_address 127.0.0.23)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
add_dependencies(${test_name} velmora)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE)
