# CLI11 for the Windows cross build.
include(${CMAKE_CURRENT_LIST_DIR}/StageHeaders.cmake)
set(CLI11_VERSION 2.1.2)
orvel_stage_headers(CLI11::CLI11 CLI)
set(CLI11_FOUND TRUE)
