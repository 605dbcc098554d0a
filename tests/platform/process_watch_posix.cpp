#include <sys/prctl.h>
#include <sys/wait.h>

#include <thread>

#include "platform/process_watch.h"

namespace platform {

struct ProcessWatch::Impl {
  pid_t id = -1;
};

void ProcessWatch::AdoptOrphans() {
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

ProcessWatch::ProcessWatch(long id) : impl_(std::make_unique<Impl>()) {
  impl_->id = static_cast<pid_t>(id);
}

ProcessWatch::~ProcessWatch() = default;

std::optional<int> ProcessWatch::WaitForEnd(std::chrono::milliseconds limit) {
  // It becomes this process's child when its parent ends (AdoptOrphans).
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int raw = 0;
    if (::waitpid(impl_->id, &raw, WNOHANG) == impl_->id) {
      return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace platform
