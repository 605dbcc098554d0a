# What only a Windows build needs. Included by the top-level CMakeLists.txt
# when building for Windows, natively or cross-built with
# cmake/toolchain-mingw64.cmake.

# Resources (manifest, version) of the window program, compiled by windres.
enable_language(RC)

# The Windows headers as the platform layer and its tests use them: no min
# and max macros, the Unicode functions, Windows 7 and up.
set(QUARNEL_WIN32_DEFINITIONS WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)

# Cross-built programs run under Wine, in the build's own prefix and
# quietly, whether ctest is started by scripts/test-windows.sh or by hand.
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(QUARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${QUARNEL_WINEPREFIX} WINEDEBUG=-all
      ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

# Header-only libraries of the build machine, for a cross build: their
# headers are the same for every system, but the MinGW tree has no copy, and
# the build machine's include directory must not be searched as a whole (its
# C library's headers would be taken for Windows ones). Each is published
# alone under an include root of its own.
if(CMAKE_CROSSCOMPILING)
  find_path(QUARNEL_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(QUARNEL_CLI11_INCLUDE_DIR)
    set(header_only_root ${CMAKE_BINARY_DIR}/include/header-only)
    file(MAKE_DIRECTORY ${header_only_root})
    file(CREATE_LINK ${QUARNEL_CLI11_INCLUDE_DIR}/CLI ${header_only_root}/CLI SYMBOLIC)
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
    set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${header_only_root})
  endif()
  find_path(QUARNEL_JSON_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(QUARNEL_JSON_INCLUDE_DIR)
    set(json_root ${CMAKE_BINARY_DIR}/include/header-only-json)
    file(MAKE_DIRECTORY ${json_root})
    file(CREATE_LINK ${QUARNEL_JSON_INCLUDE_DIR}/nlohmann ${json_root}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${json_root})
  endif()
endif()
