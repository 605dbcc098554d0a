# What only a Windows build needs. Included by the top-level CMakeLists.txt
# when building for Windows, natively or cross-built with
# cmake/toolchain-mingw64.cmake.

# Resources (icon, version, manifest) of the programs, compiled by windres.
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

# Who publishes the programs: in their version resources and in the installer.
set(QUARNEL_VENDOR "The Quarnel developers")

# The programs' icon: the sizes of the Linux package's icon, rendered from its
# drawing (packaging/icons/render.sh), in one .ico. The largest is kept as
# PNG, as Windows stores its own; the others as 32-bit bitmaps, so every size
# keeps its soft edges.
find_program(QUARNEL_ICOTOOL icotool)
if(NOT QUARNEL_ICOTOOL)
  message(FATAL_ERROR "icotool not found: it makes the programs' icon (Debian package icoutils)")
endif()
set(QUARNEL_ICON_SIZES 16 24 32 48 64 128 256)
set(QUARNEL_WINDOWS_ICON ${CMAKE_BINARY_DIR}/packaging/windows/quarnel.ico)
set(icon_bitmaps "")
set(icon_pngs "")
foreach(size ${QUARNEL_ICON_SIZES})
  set(png ${PROJECT_SOURCE_DIR}/packaging/icons/hicolor/${size}x${size}/org.quarnel.Quarnel.png)
  list(APPEND icon_pngs ${png})
  if(size EQUAL 256)
    list(APPEND icon_bitmaps --raw=${png})
  else()
    list(APPEND icon_bitmaps ${png})
  endif()
endforeach()
add_custom_command(
  OUTPUT ${QUARNEL_WINDOWS_ICON}
  COMMAND ${QUARNEL_ICOTOOL} --create --bit-depth=32 --output=${QUARNEL_WINDOWS_ICON} ${icon_bitmaps}
  DEPENDS ${icon_pngs}
  COMMENT "Making the programs' icon")
add_custom_target(quarnel_windows_icon DEPENDS ${QUARNEL_WINDOWS_ICON})

# A Windows program for users: its resources (the icon, its version from
# project() with DESCRIPTION, and for a window program its MANIFEST), and a
# place in the archive and the installer (cmake/Packaging.cmake). START_MENU
# names its entry in the Start menu, which the installer makes.
#
#   quarnel_windows_program(TARGET DESCRIPTION text [MANIFEST file] [START_MENU name])
function(quarnel_windows_program program)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION;MANIFEST;START_MENU" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "quarnel_windows_program(${program}): DESCRIPTION is missing")
  endif()
  set(program_description "${arg_DESCRIPTION}")
  set(program_manifest "")
  set(depends ${QUARNEL_WINDOWS_ICON})
  if(arg_MANIFEST)
    get_filename_component(manifest ${arg_MANIFEST} ABSOLUTE)
    set(program_manifest "1 24 \"${manifest}\"")
    list(APPEND depends ${manifest})
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${program}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/program.rc.in ${rc} @ONLY)
  target_sources(${program} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${depends}")
  add_dependencies(${program} quarnel_windows_icon)
  set_property(GLOBAL APPEND PROPERTY QUARNEL_WINDOWS_PROGRAMS ${program})
  if(arg_START_MENU)
    set_property(TARGET ${program} PROPERTY QUARNEL_START_MENU "${arg_START_MENU}")
  endif()
endfunction()
