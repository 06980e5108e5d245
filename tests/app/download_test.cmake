set(_transfer_address 127.0.0.22)
include(${CMAKE_CURRENT_LIST_DIR}/transfer_servers.cmake)
