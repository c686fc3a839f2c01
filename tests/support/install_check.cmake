# Installs the build tree BUILD into a scratch prefix under WORK, then
# configures, builds and runs the host project SOURCE against it: its
# program HOST, given the data folder DATA, must succeed with an output
# that matches EXPECT.
file(REMOVE_RECURSE ${WORK})
foreach(step
    "${CMAKE_COMMAND};--install;${BUILD};--prefix;${WORK}/prefix"
    "${CMAKE_COMMAND};-S;${SOURCE};-B;${WORK}/host;-DCMAKE_PREFIX_PATH=${WORK}/prefix"
    "${CMAKE_COMMAND};--build;${WORK}/host")
  execute_process(COMMAND ${step} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${step} failed:\n${out}\n${err}")
  endif()
endforeach()
execute_process(COMMAND ${WORK}/host/${HOST} ${DATA} RESULT_VARIABLE rc OUTPUT_VARIABLE out)
message("${out}")
if(NOT rc EQUAL 0 OR NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "the host answered ${rc}: ${out}")
endif()
