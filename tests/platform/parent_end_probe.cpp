// A supervisor and its child in miniature, for the test of children that end
// with their parent (parent_end_test.cpp).
//
//   parent_end_probe parent DIR [exit]   starts "child DIR", prints its
//       process ID, then waits to be killed (or, with "exit", ends at once
//       without ending the child).
//   parent_end_probe child DIR           when DIR/go exists, calls
//       StopWhenParentEnds, creates DIR/watching and waits for a stop
//       request; writes its number to DIR/stopped and ends with 128 + it.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/stop_signal_watcher.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Nothing here may outlive a test that went wrong.
constexpr auto kLongestWait = 60s;

int Parent(const std::string& dir, bool exit_at_once) {
  platform::ChildProcess child(platform::OwnProgramPath(), {"child", dir});
  std::cout << child.Id() << std::endl;
  if (exit_at_once) std::_Exit(0);  // without the destructor, which ends the child
  std::this_thread::sleep_for(kLongestWait);
  return 1;
}

int Child(const fs::path& dir) {
  std::mutex mutex;
  std::condition_variable arrived;
  int stop_signal = 0;
  platform::StopSignalWatcher watcher([&](int signal_number) {
    std::lock_guard lock(mutex);
    stop_signal = signal_number;
    arrived.notify_all();
  });
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  while (!fs::exists(dir / "go")) {
    if (std::chrono::steady_clock::now() > deadline) return 2;
    std::this_thread::sleep_for(10ms);
  }
  platform::StopWhenParentEnds();
  std::ofstream(dir / "watching") << "watching\n";
  std::unique_lock lock(mutex);
  if (!arrived.wait_until(lock, deadline, [&] { return stop_signal != 0; })) return 3;
  std::ofstream(dir / "stopped", std::ios::binary) << stop_signal << "\n";
  return 128 + stop_signal;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "parent") return Parent(argv[2], argc > 3 && std::string(argv[3]) == "exit");
  if (mode == "child") return Child(argv[2]);
  std::cerr << "usage: parent_end_probe parent|child DIR [exit]\n";
  return 64;
}
