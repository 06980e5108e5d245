# The test program the link tests run under kxdebug.
add_executable(kxlinkprobe ${dir}/programs/link_probe.cpp)
target_compile_options(kxlinkprobe PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(kxlinkprobe PRIVATE kxruntime)
add_dependencies(${test_name} kxlinkprobe kxdebug)
target_compile_definitions(${test_name} PRIVATE
  KX_LINK_PROBE="$<TARGET_FILE:kxlinkprobe>"
  KX_DEBUG_TOOL="$<TARGET_FILE:kxdebug>")

# The console debugger in a real terminal (tmux), driven from a bash script.
add_test(NAME debugger_console_tmux
  COMMAND bash ${dir}/console_tmux.sh $<TARGET_FILE:kxlinkprobe> ${CMAKE_BINARY_DIR}/transcripts)
set_tests_properties(debugger_console_tmux PROPERTIES
  LABELS debugger
  ENVIRONMENT "${KX_TEST_ENVIRONMENT}"
  TIMEOUT 120)
set_tests_properties(${test_name} PROPERTIES TIMEOUT 120)

# The console debugger on the real program, in a real terminal.
add_test(NAME debugger_console_velmora
  COMMAND bash ${dir}/console_velmora.sh $<TARGET_FILE:velmora> ${CMAKE_BINARY_DIR}/transcripts)
set_tests_properties(debugger_console_velmora PROPERTIES
  LABELS debugger
  ENVIRONMENT "${KX_TEST_ENVIRONMENT}"
  FIXTURES_REQUIRED gui_display
  RESOURCE_LOCK gui_display
  TIMEOUT 120)

# The real program under the link's front-end.
add_test(NAME debugger_kxdebug_velmora
  COMMAND bash ${dir}/kxdebug_velmora.sh $<TARGET_FILE:kxdebug> $<TARGET_FILE:velmora> ${CMAKE_BINARY_DIR}/transcripts)
set_tests_properties(debugger_kxdebug_velmora PROPERTIES
  LABELS debugger
  ENVIRONMENT "${KX_TEST_ENVIRONMENT}"
  FIXTURES_REQUIRED gui_display
  RESOURCE_LOCK gui_display
  TIMEOUT 120)
