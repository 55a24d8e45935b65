# Installs the five layer libraries as one CMake package and one pkg-config
# module each (with brelvane.pc for all five), their public headers by layer
# under include/brelvane/<layer>/, and the brelvane program with its sample
# photographs.
#
#   find_package(Brelvane REQUIRED COMPONENTS libgr photo)
#   target_link_libraries(app PRIVATE brelvane::photo brelvane::vorn)
#
#   pkg-config --cflags --libs brelvane-gr      (no image library)
#   pkg-config --cflags --libs brelvane-photo   (the photograph formats built)
#
# The scene library stays private to the program: it is an application, not a
# building block.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BRELVANE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Brelvane)
set(BRELVANE_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/brelvane)
set(BRELVANE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/brelvane)
set(brelvane_layer_targets brelvane_utils brelvane_math brelvane_gr brelvane_photo brelvane_vorn)

# The window framework and the photograph library are exported on their
# own, so that the package needs GLUT only for a program that uses
# brelvane::vorn, and the image libraries only for one that uses
# brelvane::photo (BrelvaneConfig.cmake.in).
install(TARGETS brelvane_utils brelvane_math brelvane_gr
  EXPORT BrelvaneTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
foreach(part Vorn Photo)
  string(TOLOWER ${part} name)
  install(TARGETS brelvane_${name}
    EXPORT Brelvane${part}Targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
endforeach()
foreach(set BrelvaneTargets BrelvaneVornTargets BrelvanePhotoTargets)
  install(EXPORT ${set}
    NAMESPACE brelvane::
    DESTINATION ${BRELVANE_INSTALL_CMAKEDIR}
    COMPONENT development)
endforeach()

# Public headers only, as each layer lists them (BrelvaneLayer.cmake).
set(brelvane_public_headers "")
set(brelvane_internal_headers "")
foreach(target ${brelvane_layer_targets})
  get_target_property(public ${target} BRELVANE_PUBLIC_HEADERS)
  get_target_property(internal ${target} BRELVANE_INTERNAL_HEADERS)
  list(APPEND brelvane_public_headers ${public})
  list(APPEND brelvane_internal_headers ${internal})
endforeach()
foreach(header ${brelvane_public_headers})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
    DESTINATION ${BRELVANE_INSTALL_INCLUDEDIR}/${folder}
    COMPONENT development)
endforeach()

# An installed header may include only installed headers: one that pulled in
# an internal header (or a scene or tools one) would not compile from the
# install.
set(include_problems "")
foreach(header ${brelvane_public_headers})
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" included "${line}")
    list(FIND brelvane_public_headers ${included} at)
    if(at EQUAL -1)
      string(APPEND include_problems "\n  ${header} includes ${included}, which is not public")
    endif()
  endforeach()
endforeach()
if(include_problems)
  message(FATAL_ERROR "Public headers including headers that are not installed:${include_problems}")
endif()
# The lists, for the package check of scripts/test.sh.
list(JOIN brelvane_public_headers "\n" lines)
file(WRITE ${PROJECT_BINARY_DIR}/package/public-headers.txt "${lines}\n")
list(JOIN brelvane_internal_headers "\n" lines)
file(WRITE ${PROJECT_BINARY_DIR}/package/internal-headers.txt "${lines}\n")

get_target_property(BRELVANE_PHOTO_MODULES_LIST brelvane_photo BRELVANE_PKG_MODULES)
list(JOIN BRELVANE_PHOTO_MODULES_LIST " " BRELVANE_PHOTO_MODULES)
get_target_property(format_modules brelvane_photo BRELVANE_FORMAT_MODULES)
list(JOIN format_modules " " BRELVANE_PHOTO_FORMAT_MODULES)
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

# pkg-config: one module per library, naming only what that library needs,
# and brelvane for all four. Requires, not Requires.private: the libraries
# are static archives, so a program links their dependencies itself. Each
# .pc file finds its prefix from its own place (${pcfiledir}), so a staged
# or moved install works without reconfiguring.
file(RELATIVE_PATH BRELVANE_PC_TO_PREFIX
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" BRELVANE_PC_TO_PREFIX "${BRELVANE_PC_TO_PREFIX}")

# brelvane_pkg_config(<module> <description> REQUIRES <module>... LIBS <flag>...)
function(brelvane_pkg_config module description)
  cmake_parse_arguments(ARG "" "" "REQUIRES;LIBS" ${ARGN})
  set(PC_NAME ${module})
  set(PC_DESCRIPTION ${description})
  list(JOIN ARG_REQUIRES " " PC_REQUIRES)
  list(JOIN ARG_LIBS " " PC_LIBS)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/brelvane-module.pc.in
    ${PROJECT_BINARY_DIR}/package/${module}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${module}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT development)
endfunction()

brelvane_pkg_config(brelvane-utils "brelvane utilities: byte order, allocation, clock, file status"
  LIBS -lbrelvane_utils)
brelvane_pkg_config(brelvane-math "brelvane math: vectors, rotations, matrices, view frames"
  LIBS -lbrelvane_math -lm)
brelvane_pkg_config(brelvane-gr "brelvane graphics: fixed-function OpenGL drawables, textures, BMP images"
  REQUIRES gl glu brelvane-math brelvane-utils
  LIBS -lbrelvane_gr)
brelvane_pkg_config(brelvane-photo "brelvane photographs: reading photograph files, as images and textures"
  REQUIRES ${BRELVANE_PHOTO_MODULES_LIST} brelvane-gr
  LIBS -lbrelvane_photo)
brelvane_pkg_config(brelvane-vorn "brelvane window framework: GLUT callbacks as virtual operations"
  REQUIRES glut
  LIBS -lbrelvane_vorn)
brelvane_pkg_config(brelvane "Fixed-function OpenGL scene libraries: GLUT window framework, graphics, photographs, math, utilities"
  REQUIRES brelvane-vorn brelvane-photo brelvane-gr brelvane-math brelvane-utils)

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
