# The layers of the program, held by the build: one static library per
# subsystem, each linking only the libraries below it.
#
# A library's public headers are the headers of its folder.  They are not
# reached through the source tree: each library has an include root of its
# own in the build tree that holds links to just those headers, at their
# usual paths ("runtime/core/objects.h").  A target sees the roots of the
# libraries it links and no others, so a source that includes a header of a
# library its target does not link fails to compile ("No such file or
# directory").  The roots are made again at every configure; a header added
# to a folder appears in its library's root at the next build (the globs
# below ask for a new configure when a folder's files change).

set(KX_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include)

# kx_public_headers(<target> <folder>): the headers of <folder> (relative to
# the source folder) become <target>'s public headers.
function(kx_public_headers target folder)
  set(root ${KX_INCLUDE_ROOTS}/${target})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.def)
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header ${headers})
    get_filename_component(name ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
  endforeach()
  target_sources(${target} PRIVATE ${headers})
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# kx_layer(<target> <folder> [LINKS <libraries>...]): the library of one
# subsystem: every .cpp of <folder>, its public headers, linked (publicly)
# with the libraries below it.
function(kx_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "LINKS")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  add_library(${target} STATIC ${sources})
  kx_public_headers(${target} ${folder})
  target_compile_options(${target} PRIVATE ${VELMORA_WARNINGS})
  target_link_libraries(${target} PUBLIC ${arg_LINKS})
endfunction()

# kx_check_layered(<folder> <targets>...): every .cpp below <folder> belongs
# to one of the targets; a source in a folder no library collects (a new
# subfolder, say) stops the configure instead of dropping out of the build.
function(kx_check_layered folder)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  set(built "")
  foreach(target ${ARGN})
    get_target_property(sources ${target} SOURCES)
    list(APPEND built ${sources})
  endforeach()
  foreach(source ${all})
    if(NOT source IN_LIST built)
      file(RELATIVE_PATH name ${CMAKE_SOURCE_DIR} ${source})
      message(FATAL_ERROR "${name} belongs to no library: give its folder a kx_layer() in CMakeLists.txt")
    endif()
  endforeach()
endfunction()
