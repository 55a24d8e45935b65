# brelvane_layer(<target> EXPORT_NAME <name> [DEPS <targets>...])
#
# One static library per layer folder, made of every .cpp in it. Headers are
# included as "<layer>/<header>.h" from the source root, which is also how an
# installed copy lays them out under include/brelvane.
function(brelvane_layer target)
  cmake_parse_arguments(ARG "" "EXPORT_NAME" "DEPS" ${ARGN})
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
endfunction()
