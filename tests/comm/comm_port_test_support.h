#pragma once
// A comm port object on a pseudo-terminal: the test plays the target on the
// master side and pumps a real-clock main loop for the threads' hand-offs.
#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/VaComm.h"
#include "comm/VaCommWriteThread.h"
#include "platform/pseudo_terminal.h"
#include "platform/pty_test_support.h"
#include "platform/serial_device.h"
#include "toolkit/application.h"
#include "toolkit/headless_event_loop.h"

namespace comm::test {

class CommPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.SetDeviceName(pty_.SlavePath());
    port_.OnOpen = [this](tk::TObject*) { ++opened_; };
    port_.OnClose = [this](tk::TObject*) { ++closed_; };
    tk::Application::Instance().SetExceptionHandler([this](std::exception_ptr e, tk::TObject*) {
      reported_.push_back(tk::ExceptionMessage(e));
    });
  }

  void TearDown() override {
    port_.Close();
    loop_.RunUntil([] { return ReleaseEndedWriteThreads() == 0; }, 2000);
    tk::Application::Instance().SetExceptionHandler(nullptr);
  }

  int Master() const { return pty_.MasterFd(); }
  void Send(const std::string& text) { platform::testing::WriteAll(Master(), text); }

  // What the target received within `ms`, pumping the loop meanwhile so the
  // writer's hand-offs run.
  std::string Received(size_t count, int64_t ms = 2000) {
    std::string got;
    loop_.RunUntil(
        [&] {
          while (platform::testing::WaitReadable(Master(), 0)) {
            const std::string more = platform::testing::ReadAvailable(Master(), 4096, 0);
            if (more.empty()) break;
            got += more;
          }
          return got.size() >= count;
        },
        ms);
    return got;
  }

  // Waits until the port's receive queue holds at least `count` bytes.
  bool WaitForInQue(int32_t count, int ms = 2000) {
    const int device = platform::testing::DescriptorOf(pty_.SlavePath());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
      if (port_.InQueCount() >= count) return true;
      platform::testing::WaitReadable(device, 20);
    }
    return port_.InQueCount() >= count;
  }

  // The message of the EVaCommError that `action` raises, or a note that it
  // raised none.
  static std::string CommErrorOf(const std::function<void()>& action, int* code = nullptr) {
    try {
      action();
    } catch (const EVaCommError& e) {
      if (code) *code = e.ErrorCode();
      return e.what();
    }
    return "(no EVaCommError)";
  }

  tk::HeadlessEventLoop loop_{tk::HeadlessEventLoop::Clock::Real};
  platform::PseudoTerminal pty_;
  TVaComm port_;
  int opened_ = 0;
  int closed_ = 0;
  std::vector<std::string> reported_;
};

inline const char* const kPortOpenMessage = "Can't perform this operation while port is open";

}  // namespace comm::test
