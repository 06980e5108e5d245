# Interplay with Info-ZIP: kxpack.exe under Wine against zip, unzip and
# zipinfo run natively, from one bash script.
add_test(NAME files_pack_interplay
  COMMAND bash ${dir}/pack_interplay.sh $<TARGET_FILE:kxpack>)
set_tests_properties(files_pack_interplay PROPERTIES
  LABELS files
  ENVIRONMENT "${KX_TEST_ENVIRONMENT}"
  TIMEOUT 300)
