add_library(orvel_warnings INTERFACE)
add_library(orvel::warnings ALIAS orvel_warnings)
target_compile_options(orvel_warnings INTERFACE -Wall -Wextra -Werror)
