# Windows builds: `cmake --install build-windows --prefix P` puts pibgen.exe, README.md, LICENSE
# and the manual page as plain text (pibgen.txt) side by side in P, and `cpack -G ZIP` in the
# build folder packs the same files into pibgen-X.Y.Z-win64.zip.
find_program(PIBGEN_GROFF groff)
if(NOT PIBGEN_GROFF)
  message(FATAL_ERROR "groff is needed to write the manual page as text for Windows")
endif()
set(manual_text ${PROJECT_BINARY_DIR}/pibgen.txt)
add_custom_command(
  OUTPUT ${manual_text}
  COMMAND ${CMAKE_COMMAND} -DGROFF=${PIBGEN_GROFF} -DPAGE=${PROJECT_SOURCE_DIR}/man/pibgen.1
          -DTEXT=${manual_text} -P ${CMAKE_CURRENT_LIST_DIR}/render_manual_text.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/man/pibgen.1 ${CMAKE_CURRENT_LIST_DIR}/render_manual_text.cmake
  COMMENT "Writing the manual page as text" VERBATIM)
add_custom_target(pibgen_manual_text ALL DEPENDS ${manual_text})

install(TARGETS pibgen RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${manual_text}
        DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pibgen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME pibgen-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
# Every packed file gets the time of the last commit, as in the Debian package.
set(CPACK_PIBGEN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_source_date_epoch.cmake)
# The package holds the program alone: the library's component (cmake/library.cmake) stays out.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
include(CPack)
