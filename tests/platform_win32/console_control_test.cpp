// Stop requests from the console, as quarnel-cli receives them on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/signal_arrivals.h"
#include "platform/stop_signal_watcher.h"
#include "platform/unique_handle_win32.h"

namespace platform {
namespace {

// A handler of the test's own, installed before the watcher: it hears only
// what the watcher leaves to the next handler.
SignalArrivals* fallback_arrivals = nullptr;
BOOL WINAPI Fallback(DWORD event) {
  if (fallback_arrivals) fallback_arrivals->Add(static_cast<int>(event));
  return TRUE;
}

bool HasConsole() {
  const UniqueHandle console(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  return console.Valid();
}

// Under ctest the standard streams are pipes and, in a Wine without a
// display, there is no console to send events to; the build runs these cases
// once more on a pseudo-terminal, where Wine gives the program a console.
TEST(ConsoleControlWin32, CtrlCInterruptsOnTheWatchersThreadUntilItGoes) {
  if (!HasConsole()) {
    if (std::getenv("QUARNEL_EXPECT_CONSOLE") != nullptr) FAIL() << "no console";
    GTEST_SKIP() << "no console";
  }
  SignalArrivals fallback;
  fallback_arrivals = &fallback;
  ASSERT_TRUE(::SetConsoleCtrlHandler(Fallback, TRUE));

  SignalArrivals watched;
  {
    StopSignalWatcher watcher([&](int signal_number) { watched.Add(signal_number); });
    // (Wine sends no Ctrl-Break.)
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    ASSERT_TRUE(watched.WaitFor(1));
    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << ::GetLastError();
    ASSERT_TRUE(watched.WaitFor(2));
  }
  EXPECT_EQ(watched.signals, (std::vector<int>{kStopSignalInterrupt, kStopSignalInterrupt}));
  EXPECT_NE(watched.threads[0], std::this_thread::get_id());
  EXPECT_EQ(watched.threads[0], watched.threads[1]) << "one watcher thread";
  EXPECT_EQ(fallback.Count(), 0u) << "the watcher took them";

  // Gone with the watcher: the next handler hears the console again.
  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  EXPECT_TRUE(fallback.WaitFor(1));
  EXPECT_EQ(watched.signals.size(), 2u);
  ::SetConsoleCtrlHandler(Fallback, FALSE);
  fallback_arrivals = nullptr;
}

}  // namespace
}  // namespace platform
