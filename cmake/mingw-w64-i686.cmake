# Cross build for 32-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build/win32 -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release
set(ORVEL_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
