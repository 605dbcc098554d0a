#include "platform/standard_streams.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "platform/unique_handle_win32.h"

namespace platform {
namespace {

// The probe is built beside this program.
std::filesystem::path ProbePath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return std::filesystem::path(self).replace_filename("standard_streams_probe.exe");
}

TEST(StandardStreamsWin32, AProgramStartedWithoutThemGetsTheNullDevice) {
  std::wstring command = L"\"" + ProbePath().wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;  // and every one of them null
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                               nullptr, nullptr, &startup, &started))
      << ::GetLastError();
  const UniqueHandle process(started.hProcess);
  const UniqueHandle thread(started.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0);
  DWORD found = 0;
  ASSERT_TRUE(::GetExitCodeProcess(process.Get(), &found));
  // The probe's findings, one bit each (see standard_streams_probe.cpp).
  EXPECT_EQ(found & 1, 0u) << "the probe had a standard stream to begin with";
  EXPECT_EQ(found & 2, 0u) << "refused";
  EXPECT_EQ(found & 4, 0u) << "a standard handle is still missing";
  EXPECT_EQ(found & 8, 0u) << "a C runtime descriptor is still missing";
  EXPECT_EQ(found & 16, 0u) << "printing failed";
  EXPECT_EQ(found & 32, 0u) << "a file took the number of a standard stream";
}

TEST(StandardStreamsWin32, StreamsThatAreThereAreLeftAlone) {
  const HANDLE before[] = {::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE),
                           ::GetStdHandle(STD_ERROR_HANDLE)};
  EXPECT_TRUE(EnsureStandardStreamsOpen());
  EXPECT_EQ(::GetStdHandle(STD_INPUT_HANDLE), before[0]);
  EXPECT_EQ(::GetStdHandle(STD_OUTPUT_HANDLE), before[1]);
  EXPECT_EQ(::GetStdHandle(STD_ERROR_HANDLE), before[2]);
}

}  // namespace
}  // namespace platform
