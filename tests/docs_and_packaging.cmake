# The bundled examples, the manual page, installation, the Debian package and hardening.

# Every examples/NAME.xml must give the image in examples/NAME.hex.
file(GLOB example_descriptions ${PROJECT_SOURCE_DIR}/examples/*.xml)
foreach(description ${example_descriptions})
  get_filename_component(example_name ${description} NAME_WE)
  set(expected ${PROJECT_SOURCE_DIR}/examples/${example_name}.hex)
  if(NOT EXISTS ${expected})
    message(FATAL_ERROR "examples/${example_name}.xml has no examples/${example_name}.hex")
  endif()
  add_test(NAME example.${example_name}
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/examples/check_example.py
                   $<TARGET_FILE:pibgen> ${description} ${expected})
  set_tests_properties(example.${example_name} PROPERTIES TIMEOUT 20)
endforeach()

# The manual page: every message documented, and no linter finds anything to say.
add_test(NAME man.messages-documented
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/man/check_messages_documented.py
                 ${PROJECT_SOURCE_DIR})
# Every shell example of the manual page and the README runs as written (a listed few that
# need root, install, or run for minutes are named and skipped).
add_test(NAME man.shell-examples
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/man/check_shell_examples.py
                 $<TARGET_FILE:pibgen> ${PROJECT_SOURCE_DIR})
set_tests_properties(man.shell-examples PROPERTIES TIMEOUT 120)
find_program(PIBGEN_GROFF groff)
if(PIBGEN_GROFF)
  add_test(NAME man.groff-lint
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/man/lint_clean.sh ${PIBGEN_GROFF} -ww -z -man
                   ${PROJECT_SOURCE_DIR}/man/pibgen.1)
endif()
find_program(PIBGEN_MANDOC mandoc)
if(PIBGEN_MANDOC)
  add_test(NAME man.mandoc-lint
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/man/lint_clean.sh ${PIBGEN_MANDOC} -Tlint
                   ${PROJECT_SOURCE_DIR}/man/pibgen.1)
endif()

# A Windows build installs and packs its own files, checked in the ZIP package; what follows
# (the Linux layout, the Debian package, ELF hardening) means nothing there.
if(WIN32)
  add_test(NAME package.zip
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_zip.py
                   ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION})
  set_tests_properties(package.zip PROPERTIES TIMEOUT 120
                       ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND}")
  return()
endif()

# cmake --install into a fresh prefix, and the package cpack builds, inspected with dpkg-deb.
add_test(NAME package.install
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_install.py
                 ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION})
find_program(PIBGEN_DPKG_DEB dpkg-deb)
if(PIBGEN_DPKG_DEB)
  add_test(NAME package.deb
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_deb.py
                   ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION})
endif()
# Both install from the same build folder, which cmake --install writes its manifest into.
# The library example must find the libxml2 the library was built with, which may be one
# installed into a prefix of its own; and the compiler and flags this build used (a sanitizer
# build's archives need its runtime).
string(REPLACE ";" ":" dependency_prefixes "${CMAKE_PREFIX_PATH}")
set_tests_properties(package.install PROPERTIES TIMEOUT 60 RESOURCE_LOCK pibgen_install
                     ENVIRONMENT "CMAKE=${CMAKE_COMMAND};CXX=${CMAKE_CXX_COMPILER};CXXFLAGS=${CMAKE_CXX_FLAGS};LDFLAGS=${CMAKE_EXE_LINKER_FLAGS};PIBGEN_DEPENDENCY_PREFIXES=${dependency_prefixes}")
if(PIBGEN_DPKG_DEB)
  # Packing the large, unoptimised program of a sanitizer build takes a minute on its own.
  set_tests_properties(package.deb PROPERTIES TIMEOUT 300 RESOURCE_LOCK pibgen_install
                       ENVIRONMENT "CPACK=${CMAKE_CPACK_COMMAND}")
endif()

# Optimised builds are hardened (cmake/hardening.cmake); the program is what the package holds.
find_program(PIBGEN_READELF readelf)
if(PIBGEN_READELF AND PIBGEN_HARDENING AND NOT PIBGEN_FUZZ AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  add_test(NAME package.hardening
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_hardening.py
                   $<TARGET_FILE:pibgen>)
endif()
