# nlohmann-json for the Windows cross build: the header-only library of the
# build machine, staged on its own so that /usr/include (the build
# machine's C library) stays out of the Windows include path.
set(nlohmann_json_VERSION 3.11.0)
set(_orvel_json_stage ${CMAKE_BINARY_DIR}/mingw-include)
if(NOT EXISTS ${_orvel_json_stage}/nlohmann/json.hpp)
  file(COPY /usr/include/nlohmann DESTINATION ${_orvel_json_stage})
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_orvel_json_stage})
endif()
set(nlohmann_json_FOUND TRUE)
