# Header-only libraries of the build machine for the Windows cross build,
# each staged on its own so that /usr/include (the build machine's C
# library) stays out of the Windows include path.
function(orvel_stage_headers target folder)
  set(stage ${CMAKE_BINARY_DIR}/mingw-include)
  if(NOT EXISTS ${stage}/${folder})
    file(COPY /usr/include/${folder} DESTINATION ${stage})
  endif()
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${stage})
  endif()
endfunction()
