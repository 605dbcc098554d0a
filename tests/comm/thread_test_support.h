#pragma once
// Shared by the tests of the port's event and writer threads: a port opened on
// a pseudo-terminal, a real-clock main loop that the test pumps, and ways to
// count the process's threads, descriptors, memory and CPU time.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "comm/VaComm.h"
#include "comm/VaCommWriteThread.h"
#include "platform/pseudo_terminal.h"
#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"

namespace comm::test {

inline int CountEntries(const char* dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

inline int ThreadCount() {
  return CountEntries("/proc/self/task");
}
inline int OpenDescriptorCount() {
  return CountEntries("/proc/self/fd");
}

// Threads of the test program while no port runs. A sanitizer may start a
// helper thread of its own with the first thread made, so make one first.
inline int QuietThreadCount() {
  static const int count = [] {
    std::thread([] {}).join();
    return ThreadCount();
  }();
  return count;
}

// Resident set size in KiB.
inline long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// CPU time used by the whole process (all threads), in milliseconds.
inline double ProcessCpuMs() {
  return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

inline void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    ASSERT_GT(n, 0) << "writing to the pseudo-terminal failed";
    done += static_cast<size_t>(n);
  }
}

// Takes whatever the descriptor holds now, without blocking.
inline std::string TakeAvailable(int fd) {
  std::string got;
  char chunk[4096];
  pollfd pfd{fd, POLLIN, 0};
  while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    got.append(chunk, static_cast<size_t>(n));
  }
  return got;
}

// An event loop that forwards to the test's loop and counts the hand-offs
// that threads have made, so a test can act while one is queued.
class HandOffCountingLoop : public tk::EventLoop {
 public:
  explicit HandOffCountingLoop(tk::HeadlessEventLoop& inner) : inner_(inner) {
    previous_ = tk::CurrentMainLoop();
    tk::SetMainLoop(this);
  }
  ~HandOffCountingLoop() override { tk::SetMainLoop(previous_); }

  int64_t NowMs() const override { return inner_.NowMs(); }
  TimerId AddTimer(uint32_t interval_ms, std::function<void()> fire) override {
    return inner_.AddTimer(interval_ms, std::move(fire));
  }
  void RemoveTimer(TimerId id) override { inner_.RemoveTimer(id); }
  void Synchronize(const std::function<void()>& call) override {
    if (!inner_.IsMainThread()) {
      std::lock_guard lock(mutex_);
      ++queued_;
      changed_.notify_all();
    }
    inner_.Synchronize(call);
  }
  bool IsMainThread() const override { return inner_.IsMainThread(); }
  void Pause(uint32_t ms) override { inner_.Pause(ms); }
  int RunPendingCalls() override { return inner_.RunPendingCalls(); }
  void Quit() override { inner_.Quit(); }
  void Run() override { inner_.Run(); }

  // Blocks the calling (main) thread, without running anything, until at
  // least `count` hand-offs have been made.
  bool WaitForHandOffs(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return queued_ >= count; });
  }

 private:
  tk::HeadlessEventLoop& inner_;
  tk::EventLoop* previous_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  int queued_ = 0;
};

// A port on a fresh pseudo-terminal, set up as the main window sets up its
// port: line feed as the event character, no flow control, [ceRxFlag].
class PortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    // Threads of earlier tests end on their own; start from a quiet process.
    ASSERT_TRUE(WaitForThreads(QuietThreadCount()));
    baseline_threads_ = ThreadCount();
    ConfigurePort(port_, pty_->SlavePath());
    tk::Application::Instance().SetExceptionHandler(
        [this](std::exception_ptr error, tk::TObject* sender) {
          reported_.push_back(tk::ExceptionMessage(error));
          reporters_.push_back(sender ? sender->ClassName() : std::string("(none)"));
        });
  }

  void TearDown() override {
    port_.Close();
    // Every thread of the port must end by itself once the port is closed.
    EXPECT_TRUE(WaitForThreads(baseline_threads_)) << "threads left: " << ThreadCount();
    tk::Application::Instance().SetExceptionHandler(nullptr);
  }

  static void ConfigurePort(TVaCustomComm& port, const std::string& path) {
    port.SetDeviceName(path);
    port.SetBaudrate(br115200);
    port.EventChars().SetEventChar('\n');
    port.SetMonitorEvents(TVaCommEvents{ceRxFlag});
  }

  int Master() const { return pty_->MasterFd(); }

  // Pumps the main loop until `done` or two seconds have passed.
  bool PumpUntil(const std::function<bool()>& done, int64_t timeout_ms = 2000) {
    return loop_.RunUntil(done, timeout_ms);
  }
  void PumpFor(int64_t ms) { loop_.AdvanceBy(ms); }

  // Reads from the master side, pumping the loop, until `count` bytes came.
  std::string ReadMaster(size_t count, int64_t timeout_ms = 2000) {
    std::string got;
    PumpUntil(
        [&] {
          got += TakeAvailable(Master());
          return got.size() >= count;
        },
        timeout_ms);
    return got;
  }

  // Pumps until the process is back to `threads` threads and every retired
  // writer has been released.
  bool WaitForThreads(int threads) {
    return loop_.RunUntil(
        [&] { return ReleaseEndedWriteThreads() == 0 && ThreadCount() <= threads; }, 3000);
  }

  tk::HeadlessEventLoop loop_{tk::HeadlessEventLoop::Clock::Real};
  std::unique_ptr<platform::PseudoTerminal> pty_ = std::make_unique<platform::PseudoTerminal>();
  TVaComm port_;
  int baseline_threads_ = 0;
  std::vector<std::string> reported_;   // messages given to the general error report
  std::vector<std::string> reporters_;  // class names of their senders
};

}  // namespace comm::test
