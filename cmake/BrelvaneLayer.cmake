# brelvane_layer(<target> EXPORT_NAME <name> [DEPS <targets>...]
#                [PUBLIC_HEADERS <file>...] [INTERNAL_HEADERS <file>...])
#
# One static library per layer folder, made of every .cpp in it. Headers are
# included as "<layer>/<header>.h" from the source root, which is also how an
# installed copy lays them out under include/brelvane.
#
# Every header under the layer folder (subfolders too, paths relative to it)
# is either PUBLIC_HEADERS, installed and documented in docs/headers.md, or
# INTERNAL_HEADERS, used by the library's sources (and its tests) only. A
# header in neither list stops the configure, so that installing one is a
# decision, not an accident. The public list is kept on the target for the
# install rules (BrelvaneInstall.cmake).
function(brelvane_layer target)
  cmake_parse_arguments(ARG "" "EXPORT_NAME" "DEPS;PUBLIC_HEADERS;INTERNAL_HEADERS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(sources)
    add_library(${target} STATIC ${sources} ${headers})
    target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:include/brelvane>)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
      $<INSTALL_INTERFACE:include/brelvane>)
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
  if(ARG_EXPORT_NAME)
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${ARG_EXPORT_NAME})
    add_library(brelvane::${ARG_EXPORT_NAME} ALIAS ${target})
  endif()
  _brelvane_layer_headers(${target})
endfunction()

# Checks the two header lists against the folder and records the public one,
# as paths from the source root ("graphics/bmp.h"), in the target's
# BRELVANE_PUBLIC_HEADERS property (and the internal one in
# BRELVANE_INTERNAL_HEADERS). Reads ARG_* of the caller.
function(_brelvane_layer_headers target)
  file(RELATIVE_PATH layer ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB_RECURSE present CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(listed ${ARG_PUBLIC_HEADERS} ${ARG_INTERNAL_HEADERS})
  set(problems "")
  foreach(header ${present})
    list(FIND listed ${header} at)
    if(at EQUAL -1)
      string(APPEND problems "\n  ${layer}/${header} is in neither PUBLIC_HEADERS nor INTERNAL_HEADERS")
    endif()
  endforeach()
  foreach(header ${listed})
    list(FIND present ${header} at)
    if(at EQUAL -1)
      string(APPEND problems "\n  ${layer}/${header} is listed but not there")
    endif()
  endforeach()
  foreach(header ${ARG_PUBLIC_HEADERS})
    list(FIND ARG_INTERNAL_HEADERS ${header} at)
    if(NOT at EQUAL -1)
      string(APPEND problems "\n  ${layer}/${header} is listed as both public and internal")
    endif()
  endforeach()
  if(problems)
    message(FATAL_ERROR "Headers of ${target} (${layer}/CMakeLists.txt):${problems}")
  endif()

  list(TRANSFORM ARG_PUBLIC_HEADERS PREPEND ${layer}/ OUTPUT_VARIABLE public)
  list(TRANSFORM ARG_INTERNAL_HEADERS PREPEND ${layer}/ OUTPUT_VARIABLE internal)
  set_target_properties(${target} PROPERTIES
    BRELVANE_PUBLIC_HEADERS "${public}"
    BRELVANE_INTERNAL_HEADERS "${internal}")
endfunction()
