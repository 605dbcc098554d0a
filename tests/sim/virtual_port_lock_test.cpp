// The virtual-port entry of a simulator that was killed: its pseudo-terminal
// number goes to the next one that asks, which the dead entry would then
// reach. The entry's lock died with the simulator, so the entry is skipped
// and removed, and its name is free again.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host_port.h"
#include "platform/pseudo_terminal.h"
#include "platform/virtual_ports.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Points this process's virtual-port directory at a private one.
class RuntimeDirectory {
 public:
  RuntimeDirectory() {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  }
  ~RuntimeDirectory() {
    if (old_) {
      ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  const fs::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::optional<std::string> old_;
};

int PtyNumber(const std::string& path) {
  return std::stoi(fs::path(path).filename().string());
}

// Opens pseudo-terminals until one gets the number of `wanted`, which the
// kernel hands out lowest first once it is free. They are kept open. A test
// running beside this one may take the number first: it is in use again all
// the same, which is all that matters here.
bool TakePtyNumberOf(const std::string& wanted,
                     std::vector<std::unique_ptr<platform::PseudoTerminal>>& held) {
  const auto end = std::chrono::steady_clock::now() + 3s;
  while (std::chrono::steady_clock::now() < end) {
    auto pty = std::make_unique<platform::PseudoTerminal>();
    if (pty->SlavePath() == wanted) {
      held.push_back(std::move(pty));
      return true;
    }
    if (PtyNumber(pty->SlavePath()) < PtyNumber(wanted)) {
      held.push_back(std::move(pty));  // fills a hole below
    } else if (fs::exists(wanted)) {
      return true;  // another program holds it
    } else {
      std::this_thread::sleep_for(10ms);  // not free yet
    }
  }
  return false;
}

TEST(VirtualPortLock, AKilledSimulatorsEntryIsSkippedRemovedAndItsNameFree) {
  RuntimeDirectory runtime;
  std::vector<std::unique_ptr<platform::PseudoTerminal>> held;

  // Both in the same directory: the one this process's port list looks at.
  auto first = std::make_unique<Simulator>(runtime.path(), std::vector<std::string>{},
                                           Simulator::Named("bench"));
  const fs::path entry = first->port();
  const std::string first_pty = fs::read_symlink(entry).string();
  first->Kill();
  ASSERT_TRUE(TakePtyNumberOf(first_pty, held)) << "could not get " << first_pty << " again";
  ASSERT_TRUE(fs::exists(entry)) << "the dead entry reaches a pseudo-terminal again";

  // The name can be taken again at once.
  auto second = std::make_unique<Simulator>(runtime.path(), std::vector<std::string>{},
                                            Simulator::Named("bench"));
  EXPECT_EQ(second->port(), entry.string());
  EXPECT_EQ(platform::ListVirtualPorts(), std::vector<std::string>{entry.string()});
  EXPECT_NE(fs::read_symlink(entry).string(), first_pty);

  // Killed as well: the port list neither shows its entry nor keeps it.
  const std::string second_pty = fs::read_symlink(entry).string();
  second->Kill();
  ASSERT_TRUE(TakePtyNumberOf(second_pty, held)) << "could not get " << second_pty << " again";
  ASSERT_TRUE(fs::exists(entry));
  EXPECT_TRUE(platform::ListVirtualPorts().empty());
  EXPECT_FALSE(fs::is_symlink(entry)) << "the stale entry is removed";
}

}  // namespace
}  // namespace simtest
