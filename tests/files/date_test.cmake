# The same program under two more time zones (POSIX forms that both the
# host's Wine and msvcrt's own TZ parsing understand).
add_test(NAME ${test_name}_tz_east COMMAND ${test_name})
set_tests_properties(${test_name}_tz_east PROPERTIES
  LABELS files TIMEOUT 300
  ENVIRONMENT "${KX_TEST_ENVIRONMENT};TZ=JST-9;VELMORA_EXPECT_EPOCH_HOUR=9")
add_test(NAME ${test_name}_tz_west COMMAND ${test_name})
set_tests_properties(${test_name}_tz_west PROPERTIES
  LABELS files TIMEOUT 300
  ENVIRONMENT "${KX_TEST_ENVIRONMENT};TZ=EST5EDT;VELMORA_EXPECT_EPOCH_HOUR=19")
