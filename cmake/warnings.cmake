# -Wall -Wextra everywhere. When CI is set in the environment, warnings become errors on every
# target made after this, which tests/CMakeLists.txt turns off for GoogleTest's own sources.
add_compile_options(-Wall -Wextra)
if(DEFINED ENV{CI})
  set(CMAKE_COMPILE_WARNING_AS_ERROR ON)
endif()
