// How the port's threads end: a vanished device leaves nothing spinning, a
// destroyed port is never reached by a queued hand-off, and many open/close
// cycles leave no threads, descriptors or memory behind.
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <string>

#include "comm/VaComm.h"
#include "comm/VaCommWriteThread.h"
#include "platform/pty_test_support.h"
#include "platform/serial_device.h"
#include "thread_test_support.h"

// GCC names the sanitizers by macros, clang by __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TEARDOWN_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TEARDOWN_TEST_SANITIZED 1
#endif
#endif

namespace comm::test {
namespace {

using namespace std::chrono_literals;

// Waits (without pumping) until the master side has `count` bytes.
std::string ReadBlocking(int fd, size_t count, int timeout_ms = 2000) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, 100) > 0) got += TakeAvailable(fd);
  }
  return got;
}

class TeardownTest : public PortOnPty {};

TEST_F(TeardownTest, AVanishedDeviceLeavesNoThreadSpinningAndThePortRecovers) {
  int lines = 0;
  port_.OnRxFlag = [&](tk::TObject*) {
    ++lines;
    port_.ReadText();
  };
  port_.Open();
  WriteAll(Master(), "hello\n");
  ASSERT_TRUE(PumpUntil([&] { return lines == 1; }));

  int gone = 0;
  port_.OnDeviceGone = [&](tk::TObject*) { ++gone; };
  pty_->CloseMaster();  // the adapter is unplugged
  ASSERT_TRUE(PumpUntil([&] { return gone == 1; }));
  EXPECT_THROW(port_.WriteText("into the void\n"), EVaCommError);

  const double cpu_before = ProcessCpuMs();
  PumpFor(1500);
  const double cpu_used = ProcessCpuMs() - cpu_before;
  EXPECT_LT(cpu_used, 150) << "some thread spins after the hang-up";
  EXPECT_EQ(lines, 1);
  EXPECT_TRUE(reported_.empty()) << "the hang-up is not reported over and over";
  EXPECT_EQ(ThreadCount(), baseline_threads_ + 2) << "both threads wait for their stop request";

  // Disconnect works, and so does Connect once a device is back.
  port_.Close();
  EXPECT_TRUE(WaitForThreads(baseline_threads_));
  pty_ = std::make_unique<platform::PseudoTerminal>();
  port_.SetDeviceName(pty_->SlavePath());
  port_.Open();
  WriteAll(Master(), "back\n");
  EXPECT_TRUE(PumpUntil([&] { return lines == 2; }));
}

TEST_F(TeardownTest, HandOffsQueuedForADestroyedPortNeverRun) {
  HandOffCountingLoop counting(loop_);
  auto port = std::make_unique<TVaComm>();
  ConfigurePort(*port, pty_->SlavePath());
  int calls = 0;
  port->OnRxFlag = [&](tk::TObject*) { ++calls; };
  port->OnTxEmpty = [&](tk::TObject*) { ++calls; };
  port->Open();

  // One hand-off from each thread waits in the queue while the main thread
  // is busy; then the port goes away.
  port->WriteText("out\n");
  WriteAll(Master(), "in\n");
  ASSERT_TRUE(counting.WaitForHandOffs(2, 2s));
  port.reset();

  EXPECT_TRUE(WaitForThreads(baseline_threads_));
  EXPECT_EQ(calls, 0);
}

TEST_F(TeardownTest, ClosingDuringAPendingWriteReturnsAtOnceAndFreesTheWriter) {
  port_.Buffers().SetWriteSize(1 << 16);
  port_.Open();
  ASSERT_EQ(::tcflow(platform::testing::DescriptorOf(pty_->SlavePath()), TCOOFF), 0);
  ASSERT_TRUE(port_.WriteText(std::string(60000, 'w')));
  PumpFor(20);  // the writer is now blocked inside its write

  const auto start = std::chrono::steady_clock::now();
  port_.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
  EXPECT_TRUE(WaitForThreads(baseline_threads_)) << "the writer must end and be released";

  port_.Open();  // the device was released at once
  ASSERT_EQ(::tcflow(platform::testing::DescriptorOf(pty_->SlavePath()), TCOON), 0);
  ASSERT_TRUE(port_.WriteText("ok"));
  EXPECT_EQ(ReadBlocking(Master(), 2), "ok");
}

TEST_F(TeardownTest, ThousandOpenWriteReadCloseCyclesLeaveNothingBehind) {
  int lines = 0;
  std::string last;
  port_.OnRxFlag = [&](tk::TObject*) {
    ++lines;
    last = port_.ReadText();
  };
  const auto cycle = [&] {
    port_.Open();
    ASSERT_TRUE(port_.WriteText("ping\n"));
    ASSERT_EQ(ReadBlocking(Master(), 5), "ping\n");
    const int before = lines;
    WriteAll(Master(), "pong\n");
    ASSERT_TRUE(PumpUntil([&] { return lines > before; }));
    ASSERT_EQ(last, "pong\n");
    port_.Close();
  };

  for (int i = 0; i < 20; ++i) ASSERT_NO_FATAL_FAILURE(cycle());
  ASSERT_TRUE(WaitForThreads(baseline_threads_));
  const int threads = ThreadCount();
  const int descriptors = OpenDescriptorCount();
  const long resident_kb = ResidentKb();

  for (int i = 0; i < 1000; ++i) ASSERT_NO_FATAL_FAILURE(cycle()) << "cycle " << i;

  ASSERT_TRUE(WaitForThreads(baseline_threads_));
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
#if !defined(TEARDOWN_TEST_SANITIZED)
  // Sanitizers keep freed memory in quarantine; they check leaks themselves.
  EXPECT_LT(ResidentKb() - resident_kb, 2048) << "memory grows with open/close cycles";
#else
  (void)resident_kb;
#endif
}

}  // namespace
}  // namespace comm::test
