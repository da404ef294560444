# `cmake --install build --prefix P` puts the program in P/bin, its manual page in
# P/share/man/man1 and its licence (Debian's machine-readable copyright file) and changelog
# in P/share/doc/pibgen; `cpack -G DEB` in the build folder wraps the same files into a
# Debian package that installs under /usr.
include(GNUInstallDirs)
set(CPACK_PACKAGE_CONTACT "pibgen maintainers <pibgen@example.org>")
# Directories get the same modes whatever the umask, so packages built anywhere are equal.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS pibgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/pibgen.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright file carries LICENSE's text after its copyright line, indented, with " ."
# for blank lines.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE license_lines)
list(FIND license_lines "Copyright (c) the pibgen contributors" copyright_line)
if(copyright_line LESS 0)
  message(FATAL_ERROR "LICENSE has no line 'Copyright (c) the pibgen contributors'")
endif()
math(EXPR first_text_line "${copyright_line} + 1")
list(SUBLIST license_lines ${first_text_line} -1 license_lines)
list(TRANSFORM license_lines PREPEND " ")
list(TRANSFORM license_lines REPLACE "^ $" " .")
list(POP_FRONT license_lines)  # the blank line after the copyright line
list(JOIN license_lines "\n" PIBGEN_LICENSE_TEXT)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/pibgen)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${CMAKE_CURRENT_LIST_DIR}/debian/changelog
        DESTINATION ${doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pibgen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
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
# Debian keeps manual pages and changelogs compressed; the installed tree keeps plain files.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_debian_docs.cmake)
# Every packed file gets the time of the last commit (see there).
set(CPACK_PIBGEN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_source_date_epoch.cmake)

# dpkg-shlibdeps derives the run-time dependencies (libxml2, libattr1, libstdc++, libc) from
# the binary itself, with the versions its symbols need. Without it, name libxml2 at least
# the version built against, and libattr1 where it is linked.
find_program(PIBGEN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PIBGEN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= ${LIBXML2_VERSION_STRING})")
  if(PIBGEN_HAVE_LIBATTR)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libattr1")
  endif()
endif()

# The package holds the program alone: the library's component (cmake/library.cmake) stays out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
include(CPack)
