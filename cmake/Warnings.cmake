add_library(orvel_warnings INTERFACE)
add_library(orvel::warnings ALIAS orvel_warnings)
target_compile_options(orvel_warnings INTERFACE -Wall -Wextra -Werror)

# GCC 12's -Wrestrict fires falsely inside libstdc++'s string insert once
# optimised ("x" + std::string at -O2, GCC bug 105329); GCC 13 fixed it. Only
# that diagnostic goes, only for that compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(orvel_warnings INTERFACE -Wno-restrict)
endif()
