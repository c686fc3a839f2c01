# The install check of the Gazref package (tests/support/install_check.cmake:
# the host of gazref_host/consumer built with find_package and with
# pkg-config), then the installed gazref_host, which finds the installed
# library in ../lib.
include(${CMAKE_CURRENT_LIST_DIR}/../support/install_check.cmake)
# The header lives in its own folder, as those of the other libraries do.
if(EXISTS ${WORK}/prefix/include/gazref.h)
  message(FATAL_ERROR "gazref.h installed at the root of include/")
endif()
file(WRITE ${WORK}/script.txt ".same GZR_GetAddrTotal GZR_GetAddrFwTotal\n")
run(${WORK}/prefix/bin/gazref_host ${WORK}/script.txt)
if(NOT last_output MATCHES "\nsame\n")
  message(FATAL_ERROR "unexpected host output: ${last_output}")
endif()
