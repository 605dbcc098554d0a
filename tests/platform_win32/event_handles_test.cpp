// The manual-reset event as the Windows serial device uses it: waited for
// together with the event of an overlapped read.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <future>
#include <string>

#include "platform/manual_reset_event_win32.h"
#include "platform/unique_handle_win32.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// A pipe whose read end does overlapped I/O, as a port opened with
// FILE_FLAG_OVERLAPPED does.
class OverlappedPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring name =
        L"\\\\.\\pipe\\quarnel-events-" + std::to_wstring(::GetCurrentProcessId());
    reader_.Reset(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(reader_) << ::GetLastError();
    writer_.Reset(
        ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer_) << ::GetLastError();
    read_event_.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(read_event_);
    overlapped_.hEvent = read_event_.Get();
  }
  void TearDown() override { FinishRead(); }

  // Starts a one-byte read; true when it is pending.
  bool StartRead() {
    const BOOL done = ::ReadFile(reader_.Get(), &byte_, 1, nullptr, &overlapped_);
    pending_ = !done && ::GetLastError() == ERROR_IO_PENDING;
    return pending_;
  }
  // The read may still write into byte_ and overlapped_: cancel it and wait
  // for it before either goes.
  DWORD FinishRead() {
    DWORD got = 0;
    if (!pending_) return got;
    ::CancelIoEx(reader_.Get(), &overlapped_);
    ::GetOverlappedResult(reader_.Get(), &overlapped_, &got, TRUE);
    pending_ = false;
    return got;
  }
  void Write(const std::string& text) {
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(writer_.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                            nullptr));
  }

  UniqueHandle reader_, writer_, read_event_;
  OVERLAPPED overlapped_{};
  char byte_ = 0;
  bool pending_ = false;
};

TEST_F(OverlappedPipe, TheWakeupEndsAWaitForAPendingRead) {
  ManualResetEvent wakeup;
  ASSERT_TRUE(StartRead());
  const std::array<HANDLE, 2> objects{ManualResetEventAccess::Handle(wakeup), read_event_.Get()};
  EXPECT_EQ(WaitForAnyHandle(objects, 20), -1);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));

  auto waiter =
      std::async(std::launch::async, [&] { return WaitForAnyHandle(objects, kInfinite); });
  EXPECT_EQ(waiter.wait_for(20ms), std::future_status::timeout);
  wakeup.Signal();
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), 0);
  EXPECT_EQ(FinishRead(), 0u) << "cancelled before anything arrived";
}

TEST_F(OverlappedPipe, ArrivingDataEndsTheWaitAndTheWakeupComesFirst) {
  ManualResetEvent wakeup;
  ASSERT_TRUE(StartRead());
  const std::array<HANDLE, 2> objects{ManualResetEventAccess::Handle(wakeup), read_event_.Get()};
  Write("!");
  EXPECT_EQ(WaitForAnyHandle(objects, 5000), 1);
  DWORD got = 0;
  EXPECT_TRUE(::GetOverlappedResult(reader_.Get(), &overlapped_, &got, FALSE));
  pending_ = false;
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(byte_, '!');

  // Both at once: a stop request is never hidden behind data, and the read
  // that had finished keeps its byte when it is wound up.
  ASSERT_TRUE(StartRead());
  Write("?");
  ASSERT_EQ(::WaitForSingleObject(read_event_.Get(), 5000), WAIT_OBJECT_0);
  wakeup.Signal();
  EXPECT_EQ(WaitForAnyHandle(objects, 0), 0);
  EXPECT_EQ(FinishRead(), 1u);
  EXPECT_EQ(byte_, '?');
}

TEST(WaitForAnyHandle, RefusesWhatCouldNeverEndTheWait) {
  EXPECT_EQ(WaitForAnyHandle({}, 0), -1);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const std::array<HANDLE, 1> none{nullptr};
  EXPECT_EQ(WaitForAnyHandle(none, 0), -1);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  std::array<ManualResetEvent*, 1> missing{nullptr};
  EXPECT_EQ(WaitForAny(missing, 0), -1);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(UniqueHandle, ClosesWhatItOwnsOnceAndHandsItOn) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), raw);
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(raw, &flags)) << "still open after the move";
  }
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "closed with its last owner";
}

}  // namespace
}  // namespace platform
