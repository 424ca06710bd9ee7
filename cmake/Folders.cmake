# Helpers for the folder layout: one folder per subsystem, one subfolder per test, fuzz or
# benchmark group.

# ov_add_folder_library(NAME [EXCLUDE file...] [LIBS lib...])
#   A static library of every .cpp file of the current folder (new files are picked up at the
#   next build).
function(ov_add_folder_library name)
  cmake_parse_arguments(L "" "" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  foreach(file ${L_EXCLUDE})
    list(REMOVE_ITEM sources "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
endfunction()

# ov_add_subfolders()
#   Adds every subfolder of the current folder that has a CMakeLists.txt; a folder that gains
#   one re-runs the configuration.
function(ov_add_subfolders)
  file(GLOB lists CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt")
  list(SORT lists)
  foreach(list_file ${lists})
    get_filename_component(folder "${list_file}" DIRECTORY)
    add_subdirectory("${folder}")
  endforeach()
endfunction()
