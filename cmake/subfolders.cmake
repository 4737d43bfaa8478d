# tolvo_add_subfolders(): adds every folder below the current source folder
# that has a CMakeLists.txt (one tool, fixture kind, benchmark or fuzz target
# each), so that adding one needs no edit here.
function(tolvo_add_subfolders)
  file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${entries})
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
