# kort_install_pkgconfig(<name> DESCRIPTION <text> LIBS <flags...> [REQUIRES <modules...>])
# Writes <name>.pc for pkg-config and installs it into <libdir>/pkgconfig.
# The file finds its prefix from its own folder (${pcfiledir}), so that a
# tree installed with `cmake --install --prefix <dir>` anywhere is usable.
# Cflags name the include folder only: the headers need C++17 or later,
# which a host that builds with pkg-config chooses itself (GCC 12's default
# is C++17).
include(GNUInstallDirs)
function(kort_install_pkgconfig name)
  cmake_parse_arguments(ARG "" "DESCRIPTION" "LIBS;REQUIRES" ${ARGN})
  set(_pcdir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  # From <prefix>/<libdir>/pkgconfig back up to <prefix>.
  file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /root/${_pcdir} /root)
  string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")
  set(PC_NAME ${name})
  set(PC_DESCRIPTION "${ARG_DESCRIPTION}")
  list(JOIN ARG_LIBS " " PC_LIBS)
  list(JOIN ARG_REQUIRES ", " PC_REQUIRES)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pkgconfig.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.pc DESTINATION ${_pcdir})
endfunction()
