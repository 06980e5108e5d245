# The dialogs run with the program's manifest (common controls 6).
target_sources(${test_name} PRIVATE $<TARGET_OBJECTS:velmora_ressourcen>)
set_tests_properties(${test_name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
