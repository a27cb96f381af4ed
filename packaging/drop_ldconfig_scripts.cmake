# Run by cpack after the .deb is made. CPack gives a package with a shared
# library under /usr/lib a postinst and postrm that call ldconfig; ours is
# private (libzendra.so in the program folder, found by RUNPATH), which
# ldconfig never looks at, and dpkg's own trigger covers the library paths
# anyway. So the package is rebuilt without the two scripts.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${DPKG_DEB} -R "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(STRINGS "${tree}/DEBIAN/${script}" lines)
      # Only CPack's own ldconfig script goes.
      list(FILTER lines EXCLUDE REGEX "^(#!/bin/sh|set -e|)$|ldconfig|^fi$|^if ")
      if(lines)
        message(FATAL_ERROR "${script} does more than call ldconfig: ${lines}")
      endif()
      file(REMOVE "${tree}/DEBIAN/${script}")
    endif()
  endforeach()
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zxz -b "${tree}" "${deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
