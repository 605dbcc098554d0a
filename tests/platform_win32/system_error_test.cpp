#include "platform/system_error.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "platform/unique_handle_win32.h"

namespace platform {
namespace {

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

// Each failure provoked for real, as Windows reports it.
class Win32Failures : public ::testing::Test {
 protected:
  static UniqueHandle Open(const std::wstring& path, DWORD share) {
    return UniqueHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_ALWAYS, 0, nullptr));
  }
  static ErrorKind Opening() { return ClassifySystemError(LastError(), ErrorOccasion::kOpening); }
  static ErrorKind InUse() { return ClassifySystemError(LastError(), ErrorOccasion::kInUse); }

  void SetUp() override {
    wchar_t dir[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, dir), 0u);
    file_ =
        std::filesystem::path(dir) / ("quarnel-errors-" + std::to_string(::GetCurrentProcessId()));
  }
  void TearDown() override { ::DeleteFileW(file_.c_str()); }

  std::filesystem::path file_;
};

TEST_F(Win32Failures, MissingFilesAndFoldersAreNotFound) {
  EXPECT_FALSE(UniqueHandle(
      ::CreateFileW(L"\\\\.\\COM199", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_EQ(Opening(), ErrorKind::kNotFound);
  EXPECT_FALSE(UniqueHandle(::CreateFileW(L"C:\\quarnel-no-such-folder\\x", GENERIC_READ, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr)));
  EXPECT_EQ(Opening(), ErrorKind::kNotFound);
}

TEST_F(Win32Failures, SomethingHeldByAnotherIsBusy) {
  const UniqueHandle first = Open(file_.wstring(), 0);
  ASSERT_TRUE(first);
  EXPECT_FALSE(Open(file_.wstring(), 0));
  EXPECT_EQ(Opening(), ErrorKind::kBusy);
  // What the system answers for a port that another program holds.
  EXPECT_EQ(ClassifySystemError(ERROR_ACCESS_DENIED, ErrorOccasion::kOpening), ErrorKind::kBusy);
}

// The serial device asks the communications functions whether what it
// opened is a serial line; their answer for anything else must read so.
TEST_F(Win32Failures, TheCommunicationsFunctionsRefuseOtherDevicesAsNoSerialPort) {
  const UniqueHandle file = Open(file_.wstring(), 0);
  ASSERT_TRUE(file);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_FALSE(::GetCommState(file.Get(), &dcb));
  EXPECT_EQ(Opening(), ErrorKind::kNotASerialPort) << LastError();

  const UniqueHandle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
  ASSERT_TRUE(nul);
  EXPECT_FALSE(::GetCommState(nul.Get(), &dcb));
  EXPECT_EQ(Opening(), ErrorKind::kNotASerialPort) << LastError();
}

// A pseudo-terminal under Wine whose other end has closed fails its reads
// with a broken pipe, as a pipe does.
TEST_F(Win32Failures, AClosedFarEndIsGoneWhileInUse) {
  HANDLE read_end = nullptr, write_end = nullptr;
  ASSERT_TRUE(::CreatePipe(&read_end, &write_end, nullptr, 0));
  const UniqueHandle reader(read_end);
  UniqueHandle writer(write_end);
  writer.Reset();
  char byte = 0;
  DWORD got = 0;
  EXPECT_FALSE(::ReadFile(reader.Get(), &byte, 1, &got, nullptr));
  EXPECT_EQ(InUse(), ErrorKind::kGone) << LastError();
  EXPECT_EQ(Opening(), ErrorKind::kOther);
}

}  // namespace
}  // namespace platform
