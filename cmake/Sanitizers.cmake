add_library(orvel_sanitizers INTERFACE)
add_library(orvel::sanitizers ALIAS orvel_sanitizers)
if(ORVEL_SANITIZE)
  target_compile_options(orvel_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(orvel_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
