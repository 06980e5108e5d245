# The test of the layers (label core): probe sources compiled with exactly
# the include directories and definitions of one library's own sources.  The
# allowed includes must compile; each forbidden one must fail because its
# header is not found (not for any other reason).  The probes are targets
# outside the normal build; the test builds them one by one (a few seconds).
set(_layer_probes
  # library     header it includes                 expected
  "kxcore       runtime/core/debugger_seam.h        compiles"
  "kxcore       runtime/debugger/reports.h          refused"
  "kxcore       runtime/files/file.h                refused"
  "kxcore       runtime/runtime.h                   refused"
  "kxfiles      runtime/core/objects.h              compiles"
  "kxfiles      runtime/network/network.h           refused"
  "kxfiles      runtime/debugger/hooks.h            refused"
  "kxnetwork    runtime/gui/window.h                refused"
  "kxgui        runtime/files/file.h                refused"
  "kxgui        app/globals.h                       refused"
  "kxdebugger   runtime/core/strings.h              compiles"
  "kxdebugger   runtime/files/date.h                refused"
  "kxdebugger   runtime/gui/window.h                refused"
  "kxdebugger   runtime/network/network.h           refused"
  "kxruntime    runtime/gui/window.h                compiles"
  "kxruntime    app/globals.h                       refused")

set(_probe_dir ${CMAKE_CURRENT_BINARY_DIR}/layer_probes)
set(_probe_list "")
set(_index 0)
foreach(_probe ${_layer_probes})
  string(REGEX MATCHALL "[^ ]+" _fields "${_probe}")
  list(GET _fields 0 _library)
  list(GET _fields 1 _header)
  list(GET _fields 2 _expected)
  set(_target layer_probe_${_index})
  file(CONFIGURE OUTPUT ${_probe_dir}/${_target}.cpp
       CONTENT "// ${_library} including ${_header}: ${_expected}\n#include \"${_header}\"\n")
  add_library(${_target} OBJECT EXCLUDE_FROM_ALL ${_probe_dir}/${_target}.cpp)
  target_include_directories(${_target} PRIVATE $<TARGET_PROPERTY:${_library},INCLUDE_DIRECTORIES>)
  target_compile_definitions(${_target} PRIVATE $<TARGET_PROPERTY:${_library},COMPILE_DEFINITIONS>)
  list(APPEND _probe_list "${_target}:${_library}:${_header}:${_expected}")
  math(EXPR _index "${_index} + 1")
endforeach()

add_test(NAME core_layers
  COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} "-DPROBES=${_probe_list}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/core/layers_check.cmake)
set_tests_properties(core_layers PROPERTIES LABELS core TIMEOUT 120)
