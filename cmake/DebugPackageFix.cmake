# Run by cpack after it wrote the packages (CPACK_POST_BUILD_SCRIPTS). The
# debug package CMake 3.25 writes lists its files in md5sums by their
# absolute paths in the staging folder, and has no documentation folder.
# This rebuilds it with md5sums relative to the root, as dpkg --verify
# reads them, and with /usr/share/doc/kalvo2-dbgsym pointing to the
# program's own changelog and copyright, as Debian's debug packages do.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "-dbgsym_.*\\.ddeb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(STRINGS "${tree}/DEBIAN/md5sums" lines)
  set(fixed "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^([0-9a-f]+)  .*-dbgsym/(usr/.*)$" "\\1  \\2" line "${line}")
    string(APPEND fixed "${line}\n")
  endforeach()
  file(WRITE "${tree}/DEBIAN/md5sums" "${fixed}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK kalvo2 "${tree}/usr/share/doc/kalvo2-dbgsym" SYMBOLIC)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${package}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
