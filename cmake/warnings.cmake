# -Wall -Wextra everywhere; warnings become errors when CI is set in the environment.
add_compile_options(-Wall -Wextra)
if(DEFINED ENV{CI})
  add_compile_options(-Werror)
endif()
