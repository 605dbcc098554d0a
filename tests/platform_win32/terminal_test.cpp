#include "platform/terminal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

namespace platform {
namespace {

// Points a standard handle elsewhere for the lifetime of the object.
class StandardHandleSwap {
 public:
  StandardHandleSwap(DWORD which, HANDLE replacement)
      : which_(which), saved_(::GetStdHandle(which)) {
    ::SetStdHandle(which_, replacement);
  }
  ~StandardHandleSwap() { ::SetStdHandle(which_, saved_); }
  StandardHandleSwap(const StandardHandleSwap&) = delete;
  StandardHandleSwap& operator=(const StandardHandleSwap&) = delete;

 private:
  DWORD which_;
  HANDLE saved_;
};

class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* put() { return &handle_; }

 private:
  HANDLE handle_;
};

// Under ctest the standard streams are pipes and, in a Wine without a
// display, no console can be created; the build runs this case once more on
// a pseudo-terminal, where Wine gives the program a console.
TEST(TerminalWin32, AConsoleIsATerminal) {
  const Handle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  if (console.get() == INVALID_HANDLE_VALUE) {
    if (std::getenv("QUARNEL_EXPECT_CONSOLE") != nullptr) FAIL() << "no console";
    GTEST_SKIP() << "no console";
  }
  {
    const StandardHandleSwap output(STD_OUTPUT_HANDLE, console.get());
    EXPECT_TRUE(IsTerminal(StandardStream::kOutput));
  }
  const StandardHandleSwap error(STD_ERROR_HANDLE, console.get());
  EXPECT_TRUE(IsTerminal(StandardStream::kError));
}

TEST(TerminalWin32, PipesAndTheNulDeviceAreNot) {
  Handle read_end, write_end;
  ASSERT_TRUE(::CreatePipe(read_end.put(), write_end.put(), nullptr, 0));
  {
    const StandardHandleSwap error(STD_ERROR_HANDLE, write_end.get());
    EXPECT_FALSE(IsTerminal(StandardStream::kError));
  }
  // The C runtime's isatty() takes NUL for a terminal.
  const Handle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  ASSERT_NE(nul.get(), INVALID_HANDLE_VALUE);
  {
    const StandardHandleSwap output(STD_OUTPUT_HANDLE, nul.get());
    EXPECT_FALSE(IsTerminal(StandardStream::kOutput));
  }
  const StandardHandleSwap output(STD_OUTPUT_HANDLE, nullptr);  // no standard output at all
  EXPECT_FALSE(IsTerminal(StandardStream::kOutput));
}

}  // namespace
}  // namespace platform
