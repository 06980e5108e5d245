# nginx and Python's http.server serving one fresh folder while the download
# tests run; the test finds their ports and the folder in servers.txt.
set(_http_state ${CMAKE_CURRENT_BINARY_DIR}/${test_name}.servers)
add_test(NAME ${test_name}_servers_start
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/network/http_servers.sh start ${_http_state})
add_test(NAME ${test_name}_servers_stop
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/network/http_servers.sh stop ${_http_state})
set_tests_properties(${test_name}_servers_start PROPERTIES
  FIXTURES_SETUP ${test_name}_servers LABELS network TIMEOUT 60)
set_tests_properties(${test_name}_servers_stop PROPERTIES
  FIXTURES_CLEANUP ${test_name}_servers LABELS network TIMEOUT 60)
set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED ${test_name}_servers)
set_property(TEST ${test_name} APPEND PROPERTY ENVIRONMENT
  "VELMORA_HTTP_SERVERS=${_http_state}/servers.txt")
