# Cross-compiling for 64-bit Windows with mingw-w64 (posix threading model).
# The product is the 32-bit program (mingw-i686.cmake); this build exists so
# that every test also runs on machines whose kernel cannot execute 32-bit
# code, where only 64-bit Wine works.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
