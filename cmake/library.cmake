# The engine installed for other programs: `cmake --install` puts <pibgen/pibgen.h>, the layer
# libraries it needs (engine, xml, file, format), a CMake package (find_package(pibgen) gives
# pibgen::pibgen) and pkg-config's pibgen.pc in the prefix. They are the "development"
# component; the Debian package holds the program alone.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

add_library(pibgen_library INTERFACE)
target_link_libraries(pibgen_library INTERFACE pibgen_engine)
set_target_properties(pibgen_library PROPERTIES EXPORT_NAME pibgen)
install(TARGETS pibgen_library pibgen_engine pibgen_xml pibgen_file pibgen_format
        EXPORT pibgenTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/pibgen/pibgen.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pibgen COMPONENT development)
set(pibgen_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/pibgen)
install(EXPORT pibgenTargets NAMESPACE pibgen:: DESTINATION ${pibgen_cmake_dir}
        COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pibgen-config.cmake.in
                              ${PROJECT_BINARY_DIR}/pibgen-config.cmake
                              INSTALL_DESTINATION ${pibgen_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pibgen-config-version.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pibgen-config.cmake
              ${PROJECT_BINARY_DIR}/pibgen-config-version.cmake
        DESTINATION ${pibgen_cmake_dir} COMPONENT development)

# pkg-config: the libraries in link order, libxml2 (and what the file layer links) behind them.
# The prefix is found from where the file lies, so any --prefix given to cmake --install holds.
set(PIBGEN_PC_PREFIX "\${pcfiledir}")
string(REPLACE "/" ";" pc_levels "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
foreach(level ${pc_levels})
  string(APPEND PIBGEN_PC_PREFIX "/..")
endforeach()
set(PIBGEN_PC_REQUIRES "libxml-2.0")
set(PIBGEN_PC_LIBS "-lpibgen_engine -lpibgen_xml -lpibgen_file -lpibgen_format")
if(PIBGEN_HAVE_LIBATTR)
  string(APPEND PIBGEN_PC_LIBS " -lattr")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pibgen.pc.in ${PROJECT_BINARY_DIR}/pibgen.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pibgen.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT development)
