# The install check of one library package:
#
#   cmake -DBUILD=<build tree> -DWORK=<scratch folder> -DSOURCE=<host project>
#         -DHOST=<program> -DPKG=<pkg-config module> -DCOMPILER=<compiler>
#         -DLIBDIR=<library folder> [-DDATA=<argument>] -DEXPECT=<regex>
#         [-DFILES=<installed paths, separated by |>]
#         -P install_check.cmake
#
# Installs the build tree into WORK/prefix and checks that FILES are there.
# Then copies the host project out of the source tree (to WORK/src) and
# builds it against the prefix twice, with CMake find_package (its
# CMakeLists.txt) and with pkg-config (every .c/.cpp of the project compiled
# with COMPILER and the flags `pkg-config --cflags --libs PKG` gives), and
# runs each build of HOST with DATA: it must succeed with an output that
# matches EXPECT.
file(REMOVE_RECURSE ${WORK})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()
function(run_host program)
  execute_process(COMMAND ${program} ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${program}:\n${out}")
  if(NOT rc EQUAL 0 OR NOT out MATCHES "${EXPECT}")
    message(FATAL_ERROR "${program} answered ${rc}: ${out}\n${err}")
  endif()
endfunction()

set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})
string(REPLACE "|" ";" FILES "${FILES}")
foreach(f ${FILES})
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(COPY ${SOURCE}/ DESTINATION ${WORK}/src)

# CMake: find_package and the imported target.
run(${CMAKE_COMMAND} -S ${WORK}/src -B ${WORK}/cmake-host -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER=)
run(${CMAKE_COMMAND} --build ${WORK}/cmake-host)
run_host(${WORK}/cmake-host/${HOST})

# pkg-config: the flags of the installed .pc file, nothing else.
find_program(PKG_CONFIG pkg-config REQUIRED)
run(${CMAKE_COMMAND} -E env --unset=PKG_CONFIG_PATH PKG_CONFIG_LIBDIR=${prefix}/${LIBDIR}/pkgconfig
    ${PKG_CONFIG} --cflags --libs ${PKG})
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
file(GLOB sources ${WORK}/src/*.c ${WORK}/src/*.cpp)
file(MAKE_DIRECTORY ${WORK}/pkg-host)
run(${COMPILER} ${sources} ${flags} -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK}/pkg-host/${HOST})
run_host(${WORK}/pkg-host/${HOST})
