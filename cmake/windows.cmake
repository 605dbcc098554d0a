# The Windows build: the parts of Quarnel that run on Windows so far, that is
# the Win32 platform layer and its tests. Included by the top-level
# CMakeLists.txt when building for Windows (natively or cross-built with
# cmake/toolchain-mingw64.cmake); the layers above join as they are ported.

# Quiet Windows headers without min/max macros, Unicode API, Windows 7 and up.
set(QUARNEL_WIN32_DEFINITIONS WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)

add_library(qn_platform_win32 STATIC
  ${PROJECT_SOURCE_DIR}/src/platform/natural_order.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/port_list_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/system_error_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/terminal_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/thread_priority_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/tick_win32.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/wide_text_win32.cpp)
target_include_directories(qn_platform_win32 PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(qn_platform_win32 PRIVATE ${QUARNEL_WIN32_DEFINITIONS})
target_link_libraries(qn_platform_win32 PUBLIC Threads::Threads setupapi)

if(NOT QUARNEL_WITH_TESTS)
  return()
endif()

enable_testing()
if(CMAKE_CROSSCOMPILING)
  # No GoogleTest for the target system is installed here: build it from the
  # sources Debian ships.
  set(QUARNEL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${QUARNEL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # Every test program runs in the build's own Wine prefix, quietly, whether
  # ctest is started by scripts/test-windows.sh or by hand.
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set(QUARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${QUARNEL_WINEPREFIX} WINEDEBUG=-all
        ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

file(GLOB platform_win32_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform_win32/*.cpp)
add_executable(test_platform_win32 ${platform_win32_tests})
target_compile_definitions(test_platform_win32 PRIVATE ${QUARNEL_WIN32_DEFINITIONS})
target_link_libraries(test_platform_win32 PRIVATE qn_platform_win32 GTest::gtest GTest::gtest_main)
gtest_discover_tests(test_platform_win32 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)

# Wine gives a program a console only when it runs on a terminal: the console
# case runs once more on a pseudo-terminal.
find_program(QUARNEL_SCRIPT script)
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR AND QUARNEL_SCRIPT)
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " emulator)
  add_test(NAME TerminalWin32.AConsoleIsATerminalOnAPseudoTerminal
           COMMAND ${QUARNEL_SCRIPT} --quiet --return --command
                   "env QUARNEL_EXPECT_CONSOLE=1 ${emulator} $<TARGET_FILE:test_platform_win32> --gtest_filter=TerminalWin32.AConsoleIsATerminal"
                   /dev/null)
endif()
