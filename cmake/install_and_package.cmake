# `cmake --install build --prefix P` puts the program in P/bin and its manual page in
# P/share/man/man1; `cpack -G DEB` in the build folder wraps the same files into a Debian
# package that installs under /usr.
include(GNUInstallDirs)
install(TARGETS pibgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/pibgen.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pibgen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "pibgen maintainers <pibgen@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build PIB images from XML descriptions of parameter fields")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "pibgen reads an XML description of parameter fields and writes a PIB image:\n"
    "the fields encoded one after another in description order, with a CRC-32\n"
    "checksum byte at offset 2. Every step is traced on standard output.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# Debian keeps manual pages compressed; the installed tree keeps the plain file.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake)

# dpkg-shlibdeps derives the run-time dependencies (libxml2, libstdc++, libc) from the
# binary itself, with the versions its symbols need. Without it, name libxml2 at least
# the version built against.
find_program(PIBGEN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PIBGEN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= ${LIBXML2_VERSION_STRING})")
endif()

include(CPack)
