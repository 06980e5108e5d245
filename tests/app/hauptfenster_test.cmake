# The main window is built with the program's own resources (button pictures, manifest).
target_sources(${test_name} PRIVATE $<TARGET_OBJECTS:velmora_ressourcen>)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
