set(_transfer_address 127.0.0.22)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
# Velmora.exe itself receives in the cases that run the program; beside nginx
# a scripted web server answers 404 a given number of times.
add_dependencies(${test_name} velmora)
set(_download_web ${CMAKE_BINARY_DIR}/tests/app/${test_name}_web)
add_test(NAME ${test_name}_web_start
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/download_test_web.sh start ${_download_web} ${_transfer_state}/root)
add_test(NAME ${test_name}_web_stop
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/download_test_web.sh stop ${_download_web})
set_tests_properties(${test_name}_web_start PROPERTIES FIXTURES_SETUP ${test_name}_web LABELS app TIMEOUT 60)
set_tests_properties(${test_name}_web_stop PROPERTIES FIXTURES_CLEANUP ${test_name}_web LABELS app TIMEOUT 60)
set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED "${test_name}_servers;${test_name}_web")
set_property(TEST ${test_name} APPEND PROPERTY ENVIRONMENT "VELMORA_DOWNLOAD_WEB=${_download_web}")
