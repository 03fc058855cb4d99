# Warnings for every target of the project; errors when V36_WERROR is on (CI).
add_library(v36_warnings INTERFACE)
target_compile_options(v36_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(V36_WERROR)
  target_compile_options(v36_warnings INTERFACE -Werror)
endif()
