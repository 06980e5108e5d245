# Included by a pipeline test's <name>_test.cmake after it set
# _transfer_address: the test program gets its own transfer server (FTP on
# that loopback address at port 21, nginx on a free port) as a fixture.
set(_transfer_state ${CMAKE_BINARY_DIR}/tests/app/${test_name}_server)
add_test(NAME ${test_name}_servers_start
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/transfer_servers.sh start ${_transfer_state} ${_transfer_address})
add_test(NAME ${test_name}_servers_stop
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/transfer_servers.sh stop ${_transfer_state})
set_tests_properties(${test_name}_servers_start PROPERTIES FIXTURES_SETUP ${test_name}_servers LABELS app TIMEOUT 60)
set_tests_properties(${test_name}_servers_stop PROPERTIES FIXTURES_CLEANUP ${test_name}_servers LABELS app TIMEOUT 60)
set_tests_properties(${test_name} PROPERTIES
  FIXTURES_REQUIRED ${test_name}_servers
  ENVIRONMENT "${KX_TEST_ENVIRONMENT};VELMORA_TRANSFER_STATE=${_transfer_state}"
  TIMEOUT 400)
