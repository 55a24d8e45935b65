# Names of every entry point listed in gl_calls.def, for the linker's --wrap.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/gl_calls.def _lines REGEX "^GLCALL\\(")
set(BRELVANE_WRAPPED_GL_CALLS "")
foreach(_line ${_lines})
  string(REGEX REPLACE "^GLCALL\\([^,]+, *([A-Za-z0-9_]+),.*" "\\1" _name "${_line}")
  list(APPEND BRELVANE_WRAPPED_GL_CALLS ${_name})
endforeach()
