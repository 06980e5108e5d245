# The reference reader in Python against files that kxseal.exe sealed.
add_test(NAME files_seal_reference
  COMMAND bash ${dir}/seal_reference.sh $<TARGET_FILE:kxseal>)
set_tests_properties(files_seal_reference PROPERTIES
  LABELS files
  ENVIRONMENT "${KX_TEST_ENVIRONMENT}"
  TIMEOUT 120)
# The sealing benchmark is built with the layer it measures.
if(NOT TARGET seal_bench)
  add_subdirectory(${CMAKE_SOURCE_DIR}/bench/seal ${CMAKE_BINARY_DIR}/bench/seal)
endif()
