# nlohmann-json for the Windows cross build.
include(${CMAKE_CURRENT_LIST_DIR}/StageHeaders.cmake)
set(nlohmann_json_VERSION 3.11.0)
orvel_stage_headers(nlohmann_json::nlohmann_json nlohmann)
set(nlohmann_json_FOUND TRUE)
