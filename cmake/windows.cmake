# What only a Windows build needs. Included by the top-level CMakeLists.txt
# when building for Windows, natively or cross-built with
# cmake/toolchain-mingw64.cmake.

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
