# Warning set applied to every target of the project through kessaro_warnings.
add_library(kessaro_warnings INTERFACE)
target_compile_options(kessaro_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wcast-align -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations -Wundef)
if(KESSARO_WERROR)
  target_compile_options(kessaro_warnings INTERFACE -Werror)
endif()
