# kort_expose_headers(<target> <PUBLIC|INTERFACE>)
# The headers of the current folder, included as "<folder>/<file>.h": the
# target's include path is a folder of the build tree holding one link,
# <folder> -> the source folder, so that a target sees its own folder and
# those of the libraries it links, never the whole source root.
function(kort_expose_headers name scope)
  get_filename_component(_folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(_root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${_root})
  if(NOT IS_SYMLINK ${_root}/${_folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${_root}/${_folder} SYMBOLIC)
  endif()
  target_include_directories(${name} ${scope} ${_root})
endfunction()

# kort_library(<name> DEPS <targets...>)
# A static library made of every .cpp in the current folder. Headers are
# included as "<folder>/<file>.h" (kort_expose_headers).
function(kort_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    kort_expose_headers(${name} PUBLIC)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    kort_expose_headers(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kort_test(<name> DIR <folder> DEPS <targets...>)
# One GoogleTest executable from every .cpp in tests/<folder>.
function(kort_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR}/*.cpp)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_link_libraries(${name} PRIVATE test_support ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KORT_BUILD_DIR=${CMAKE_BINARY_DIR}"
               # The cache files of the tests' data folders stay in the build
               # tree, not in the user's cache folder.
               ENVIRONMENT_MODIFICATION "XDG_CACHE_HOME=set:${CMAKE_BINARY_DIR}/test-cache")
  # The source tree is compiled in: a second variable in ENVIRONMENT would be
  # split apart as a CMake list.
  target_compile_definitions(${name} PRIVATE KORT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()
