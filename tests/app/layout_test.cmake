# The split/join benchmark is built with the layout it measures.
if(NOT TARGET split_bench)
  add_subdirectory(${CMAKE_SOURCE_DIR}/bench/split ${CMAKE_BINARY_DIR}/bench/split)
endif()
