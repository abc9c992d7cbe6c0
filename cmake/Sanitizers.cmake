add_library(orvel_sanitizers INTERFACE)
add_library(orvel::sanitizers ALIAS orvel_sanitizers)
if(ORVEL_SANITIZE)
  # GCC leaves float-cast-overflow (NaN or out-of-range double to integer)
  # out of "undefined"; name it so both compilers check it.
  target_compile_options(orvel_sanitizers INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(orvel_sanitizers INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()
