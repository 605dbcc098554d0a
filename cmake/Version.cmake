# The program version comes from the project() call alone. C++ code reads it
# from a generated header:
#
#   target_link_libraries(my-program PRIVATE quarnel_version)
#   #include "quarnel_version.h"      // quarnel::kVersion, QUARNEL_VERSION
#
# The window's caption and title are fixed texts of the window and do not
# follow this number.
configure_file(${CMAKE_CURRENT_LIST_DIR}/quarnel_version.h.in
               ${CMAKE_BINARY_DIR}/generated/quarnel_version.h @ONLY)
add_library(quarnel_version INTERFACE)
target_include_directories(quarnel_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
