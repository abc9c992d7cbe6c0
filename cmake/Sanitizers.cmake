add_library(orvel_sanitizers INTERFACE)
add_library(orvel::sanitizers ALIAS orvel_sanitizers)
if(ORVEL_SANITIZE OR ORVEL_BUILD_FUZZ)
  # GCC leaves float-cast-overflow (NaN or out-of-range double to integer)
  # out of "undefined"; name it so both compilers check it.
  target_compile_options(orvel_sanitizers INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(orvel_sanitizers INTERFACE -fsanitize=address,undefined,float-cast-overflow)
  # GCC warns that it may not tell, under the sanitizers, whether a variable
  # is set (its manual advises against -Werror with them): optimised, it
  # flags libstdc++'s own std::regex. Only that diagnostic, only GCC, only here.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(orvel_sanitizers INTERFACE -Wno-maybe-uninitialized)
  endif()
endif()
# Fuzzing: every library carries libFuzzer's coverage hooks; only the fuzz
# targets link its driver (-fsanitize=fuzzer), so the tests still have main.
if(ORVEL_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORVEL_BUILD_FUZZ needs clang (libFuzzer)")
  endif()
  target_compile_options(orvel_sanitizers INTERFACE -fsanitize=fuzzer-no-link)
endif()
