#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "platform/system_error.h"
#include "platform/tick.h"

namespace platform {
namespace {

TEST(TickWin32, IsTheSystemTickUntilATestReplacesIt) {
  const uint32_t before = ::GetTickCount();
  const uint32_t tick = TickCount();
  const uint32_t after = ::GetTickCount();
  EXPECT_LE(static_cast<uint32_t>(tick - before), static_cast<uint32_t>(after - before));

  SetTickSourceForTesting([] { return 0xFFFFFF00u; });
  EXPECT_EQ(TickCount(), 0xFFFFFF00u);
  SetTickSourceForTesting({});
  EXPECT_LT(static_cast<uint32_t>(TickCount() - ::GetTickCount()) + 1000u, 2000u);
}

TEST(SystemErrorWin32, LastErrorIsTheSystemsOwn) {
  const HANDLE file = ::CreateFileW(L"C:\\quarnel-no-such-folder\\image.cry", GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(LastError(), ERROR_PATH_NOT_FOUND);

  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

TEST(SystemErrorWin32, TextIsTheSystemsWithoutItsEnding) {
  for (const int code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_READY,
                         ERROR_BROKEN_PIPE, ERROR_OPERATION_ABORTED}) {
    SCOPED_TRACE(code);
    const std::string text = SystemErrorText(code);
    ASSERT_FALSE(text.empty());
    // It goes into messages such as "... (Error 2, <text>)" on one line.
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(text.back(), '.');
    EXPECT_NE(text.back(), ' ');
  }
  EXPECT_NE(Lower(SystemErrorText(ERROR_FILE_NOT_FOUND)).find("file"), std::string::npos);
  EXPECT_NE(SystemErrorText(ERROR_FILE_NOT_FOUND), SystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(SystemErrorWin32, UnknownCodeNamesItsNumberAndLeavesTheLastError) {
  SetLastError(ERROR_BROKEN_PIPE);
  EXPECT_EQ(SystemErrorText(0x2000ABCD), "Unknown error 536914893");
  EXPECT_EQ(LastError(), ERROR_BROKEN_PIPE);
  EXPECT_FALSE(SystemErrorText(ERROR_NOT_READY).empty());
  EXPECT_EQ(LastError(), ERROR_BROKEN_PIPE);
}

}  // namespace
}  // namespace platform
