# Third-party libraries, built from Debian's source packages that the
# bootstrap unpacked under third_party/src (never committed).
set(VELMORA_SOURCES_DIR ${CMAKE_SOURCE_DIR}/third_party/src)

# The unpacked source folder <package>-<version> that holds <marker>; the
# newest version when several lie there (an update of the release unpacks a
# new one beside the old).
function(velmora_source_dir result package marker)
  file(GLOB candidates LIST_DIRECTORIES true ${VELMORA_SOURCES_DIR}/${package}-*)
  set(found "")
  foreach(candidate ${candidates})
    if(IS_DIRECTORY ${candidate} AND EXISTS ${candidate}/${marker})
      list(APPEND found ${candidate})
    endif()
  endforeach()
  if(NOT found)
    message(FATAL_ERROR "${package} sources missing under ${VELMORA_SOURCES_DIR}: run scripts/bootstrap.sh")
  endif()
  list(SORT found COMPARE NATURAL ORDER DESCENDING)
  list(GET found 0 newest)
  set(${result} ${newest} PARENT_SCOPE)
endfunction()

# zlib, built here from its sources like minizip and libpng, not taken
# prebuilt from a mingw package.  Packing spends nearly all its processor time
# in deflate, so zlib is built the way Debian builds it for x86: -O3 (unless
# the build is unoptimised) and UNALIGNED_OK, which compares two bytes at a
# time in the match search.  Neither changes a byte of the output: the
# archive bytes test (tests/files) holds the packer's archives and deflate at
# every level to what the prebuilt library wrote.
velmora_source_dir(ZLIB_SOURCE_DIR zlib contrib/minizip/zip.c)
set(ZLIB_FILES adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback
               inffast inflate inftrees trees uncompr zutil)
list(TRANSFORM ZLIB_FILES PREPEND ${ZLIB_SOURCE_DIR}/)
list(TRANSFORM ZLIB_FILES APPEND .c)
add_library(zlib STATIC ${ZLIB_FILES})
target_include_directories(zlib SYSTEM PUBLIC ${ZLIB_SOURCE_DIR})
target_compile_options(zlib PRIVATE -w $<$<NOT:$<CONFIG:Debug>>:-O3>)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86_64|AMD64)$")
  target_compile_definitions(zlib PRIVATE UNALIGNED_OK)
endif()

# minizip from zlib's contrib.
set(MINIZIP_DIR ${ZLIB_SOURCE_DIR}/contrib/minizip)
add_library(minizip STATIC
  ${MINIZIP_DIR}/zip.c ${MINIZIP_DIR}/unzip.c
  ${MINIZIP_DIR}/ioapi.c ${MINIZIP_DIR}/iowin32.c)
target_include_directories(minizip SYSTEM PUBLIC ${MINIZIP_DIR})
target_compile_definitions(minizip PRIVATE NOCRYPT NOUNCRYPT)
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC zlib)

# libpng.
velmora_source_dir(PNG_SOURCE_DIR libpng1.6 png.c)
set(PNG_GENERATED ${CMAKE_BINARY_DIR}/libpng)
configure_file(${PNG_SOURCE_DIR}/scripts/pnglibconf.h.prebuilt ${PNG_GENERATED}/pnglibconf.h COPYONLY)
set(PNG_FILES png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil
              pngset pngtrans pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM PNG_FILES PREPEND ${PNG_SOURCE_DIR}/)
list(TRANSFORM PNG_FILES APPEND .c)
add_library(png STATIC ${PNG_FILES})
target_include_directories(png SYSTEM PUBLIC ${PNG_SOURCE_DIR} ${PNG_GENERATED})
target_compile_definitions(png PRIVATE PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0)
target_compile_options(png PRIVATE -w)
target_link_libraries(png PUBLIC zlib)

# GoogleTest, built with the same compiler.
set(GTEST_ROOT /usr/src/googletest)
if(NOT EXISTS ${GTEST_ROOT}/googletest/src/gtest-all.cc)
  message(FATAL_ERROR "googletest sources missing: run scripts/bootstrap.sh")
endif()
add_library(gtest STATIC ${GTEST_ROOT}/googletest/src/gtest-all.cc)
target_include_directories(gtest SYSTEM PUBLIC ${GTEST_ROOT}/googletest/include
                                         PRIVATE ${GTEST_ROOT}/googletest)
target_compile_options(gtest PRIVATE -w)
add_library(gtest_main STATIC ${GTEST_ROOT}/googletest/src/gtest_main.cc)
target_link_libraries(gtest_main PUBLIC gtest)
add_library(gmock STATIC ${GTEST_ROOT}/googlemock/src/gmock-all.cc)
target_include_directories(gmock SYSTEM PUBLIC ${GTEST_ROOT}/googlemock/include
                                         PRIVATE ${GTEST_ROOT}/googlemock)
target_compile_options(gmock PRIVATE -w)
target_link_libraries(gmock PUBLIC gtest)
