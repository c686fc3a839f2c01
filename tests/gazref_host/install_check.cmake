# cmake -DBUILD_DIR=... -DCONSUMER_DIR=... -DWORK_DIR=... -P install_check.cmake
# Installs the build into a fresh prefix, then configures, builds and runs a
# host project that finds Gazref there with find_package.
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
foreach(f lib/libGazref.so include/gazref.h lib/cmake/Gazref/GazrefConfig.cmake
          lib/cmake/Gazref/GazrefConfigVersion.cmake bin/gazref_host)
  if(NOT EXISTS ${WORK_DIR}/prefix/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_C_COMPILER_LAUNCHER=)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
if(NOT last_output MATCHES "consumer ok")
  message(FATAL_ERROR "unexpected output: ${last_output}")
endif()
# The installed host finds the installed library in ../lib.
file(WRITE ${WORK_DIR}/script.txt ".same GZR_GetAddrTotal GZR_GetAddrFwTotal\n")
run(${WORK_DIR}/prefix/bin/gazref_host ${WORK_DIR}/script.txt)
if(NOT last_output MATCHES "\nsame\n")
  message(FATAL_ERROR "unexpected host output: ${last_output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
