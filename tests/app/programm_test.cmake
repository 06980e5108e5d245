# The program under test is built first; its windows are photographed, so the
# test has the display to itself.
add_dependencies(${test_name} velmora)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
