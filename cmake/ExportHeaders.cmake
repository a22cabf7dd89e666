# Each library hands on only its own headers. They are linked into an include folder of the
# library's own in the build folder, under their usual "<subsystem>/<name>.h" paths, and that folder
# is the only include path the library exports. An include of a header from a library that is
# not linked (a layer above, or a sibling) is then not found at compile time instead of working
# by luck.
#
# quillet_export_headers(<target> [ROOT <folder>] [HEADERS <path>...] [GLOBS <pattern>...]
#                        [EXCLUDE <path>...])
# Paths and patterns are relative to ROOT, src/ unless given.
function(quillet_export_headers target)
  cmake_parse_arguments(E "" "ROOT" "HEADERS;GLOBS;EXCLUDE" ${ARGN})
  set(root ${PROJECT_SOURCE_DIR}/src)
  if(E_ROOT)
    set(root ${E_ROOT})
  endif()
  set(headers ${E_HEADERS})
  foreach(pattern IN LISTS E_GLOBS)
    file(GLOB found RELATIVE ${root} CONFIGURE_DEPENDS ${root}/${pattern})
    list(APPEND headers ${found})
  endforeach()
  if(E_EXCLUDE)
    list(REMOVE_ITEM headers ${E_EXCLUDE})
  endif()
  set(folder ${PROJECT_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${folder})
  foreach(header IN LISTS headers)
    if(NOT EXISTS ${root}/${header})
      message(FATAL_ERROR "${target}: no header ${root}/${header}")
    endif()
    get_filename_component(directory ${folder}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${directory})
    file(CREATE_LINK ${root}/${header} ${folder}/${header} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${folder})
  else()
    target_include_directories(${target} PUBLIC ${folder})
  endif()
endfunction()
