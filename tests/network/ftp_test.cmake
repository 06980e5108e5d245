# The FTP tests talk to a real pyftpdlib server that a fixture starts on a
# free loopback port; the test finds port and root in the state folder.
set(_ftp_state ${CMAKE_BINARY_DIR}/tests/network/ftp_server)
add_test(NAME network_ftp_server_start
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/ftp_server_start.sh ${_ftp_state})
add_test(NAME network_ftp_server_stop
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/ftp_server_stop.sh ${_ftp_state})
set_tests_properties(network_ftp_server_start PROPERTIES FIXTURES_SETUP ftp_server LABELS network)
set_tests_properties(network_ftp_server_stop PROPERTIES FIXTURES_CLEANUP ftp_server LABELS network)
set_tests_properties(${test_name} PROPERTIES
  FIXTURES_REQUIRED ftp_server
  ENVIRONMENT "${KX_TEST_ENVIRONMENT};VELMORA_FTP_STATE=${_ftp_state}")

# A real pyftpdlib frozen with SIGSTOP in the middle of an upload by kxftp,
# in both modes (each run waits out the 60 s data time-out).
foreach(_mode passive active)
  add_test(NAME network_ftp_frozen_server_${_mode}
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/ftp_frozen_server.sh ${_mode} $<TARGET_FILE:kxftp>
                   ${CMAKE_BINARY_DIR}/tests/network/ftp_frozen_${_mode})
  set_tests_properties(network_ftp_frozen_server_${_mode} PROPERTIES
    LABELS network ENVIRONMENT "${KX_TEST_ENVIRONMENT}" TIMEOUT 200)
endforeach()
