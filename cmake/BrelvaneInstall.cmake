# Installs the four layer libraries as one CMake package and one pkg-config
# module, their headers by layer under include/brelvane/<layer>/, and the
# brelvane program with its sample photographs.
#
#   find_package(Brelvane REQUIRED)
#   target_link_libraries(app PRIVATE brelvane::libgr brelvane::vorn)
#
# The scene library stays private to the program: it is an application, not a
# building block.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRELVANE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brelvane)
set(BRELVANE_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/brelvane)
set(brelvane_layers utilities math graphics framework)
set(brelvane_layer_targets brelvane_utils brelvane_math brelvane_gr brelvane_vorn)

install(TARGETS ${brelvane_layer_targets}
  EXPORT BrelvaneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)

# Copied at install time, so a header added to a layer needs no edit here.
foreach(layer ${brelvane_layers})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${layer}/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brelvane/${layer}
    COMPONENT development
    FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT BrelvaneTargets
  NAMESPACE brelvane::
  DESTINATION ${BRELVANE_INSTALL_CMAKEDIR}
  COMPONENT development)

configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/BrelvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/BrelvaneConfig.cmake
  INSTALL_DESTINATION ${BRELVANE_INSTALL_CMAKEDIR})
# 0.x releases may break the interface between minor versions.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/package/BrelvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/BrelvaneConfig.cmake
  ${PROJECT_BINARY_DIR}/package/BrelvaneConfigVersion.cmake
  DESTINATION ${BRELVANE_INSTALL_CMAKEDIR}
  COMPONENT development)

# The .pc file finds its prefix from its own place (${pcfiledir}), so a staged
# or moved install works without reconfiguring.
file(RELATIVE_PATH BRELVANE_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" BRELVANE_PC_TO_PREFIX "${BRELVANE_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/brelvane.pc.in
  ${PROJECT_BINARY_DIR}/package/brelvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/brelvane.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)

# The program reads its photographs from the working directory: run it from
# share/brelvane to see the samples.
if(TARGET brelvane)
  install(TARGETS brelvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()
if(TARGET sample_photos)
  install(FILES ${PROJECT_BINARY_DIR}/p6155961.bmp ${PROJECT_BINARY_DIR}/p6155955.bmp
    DESTINATION ${BRELVANE_INSTALL_DATADIR}
    COMPONENT runtime
    OPTIONAL)
endif()
