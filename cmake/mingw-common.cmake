# Shared by both mingw-w64 toolchain files; MINGW_PREFIX names the target.
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Several work trees (and clones) of the project share one compiler cache
# where it exists: paths below the source folder are hashed relative to it.
find_program(VELMORA_CCACHE ccache)
if(VELMORA_CCACHE)
  get_filename_component(_velmora_source ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
  set(_velmora_launcher env CCACHE_BASEDIR=${_velmora_source} CCACHE_NOHASHDIR=1 ${VELMORA_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${_velmora_launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${_velmora_launcher})
endif()

# Every test and tool runs under Wine; the script picks the loader that
# matches the program (32-bit or 64-bit PE) and names a failing exit code, so
# that a test which fails without a word of its own still says how it ended.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --say-exit)
