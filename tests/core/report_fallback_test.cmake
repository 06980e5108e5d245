# The program on the core alone that the test runs (it links nothing else).
add_executable(kxcoreprobe ${dir}/programs/core_only.cpp)
target_compile_options(kxcoreprobe PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(kxcoreprobe PRIVATE kxcore)
add_dependencies(${test_name} kxcoreprobe)
target_compile_definitions(${test_name} PRIVATE KX_CORE_PROBE="$<TARGET_FILE:kxcoreprobe>")
