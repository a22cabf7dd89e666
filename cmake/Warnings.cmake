# Every target links quillet_warnings, so one switch governs the whole tree.
add_library(quillet_warnings INTERFACE)
target_compile_options(quillet_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
  -Wformat=2 -Wimplicit-fallthrough)
if(QUILLET_WERROR)
  target_compile_options(quillet_warnings INTERFACE -Werror)
endif()
