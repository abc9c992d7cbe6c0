# Shared part of the MinGW-w64 toolchain files: they set ORVEL_MINGW_CPU
# (i686 or x86_64) and include this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORVEL_MINGW_CPU})
set(CMAKE_C_COMPILER ${ORVEL_MINGW_CPU}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEL_MINGW_CPU}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEL_MINGW_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVEL_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# nlohmann-json and CLI11, header-only, are staged from the build machine.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw)
# The programs carry their C++ runtime, so a bare Windows (or Wine) runs them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
