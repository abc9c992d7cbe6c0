# CLI11 for the Windows cross build: the header-only library of the build
# machine, staged on its own like nlohmann-json beside it.
set(CLI11_VERSION 2.1.2)
set(_orvel_cli11_stage ${CMAKE_BINARY_DIR}/mingw-include)
if(NOT EXISTS ${_orvel_cli11_stage}/CLI/CLI.hpp)
  file(COPY /usr/include/CLI DESTINATION ${_orvel_cli11_stage})
endif()
if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_orvel_cli11_stage})
endif()
set(CLI11_FOUND TRUE)
