#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include "platform/manual_reset_event_posix.h"
#include "platform/port_watch.h"
#include "platform/virtual_ports.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Without inotify, a waiter still looks again this often.
constexpr uint32_t kFallbackLookMs = 1000;

// A directory watched for what happens in it (`whole`), for the creation of
// the missing directories below it (`names`), or both.
struct Watched {
  fs::path path;
  bool whole = false;
  std::set<std::string> names;
};

bool IsDirectory(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// What to watch for `wanted`: each existing directory whole, and for each
// missing one the nearest existing directory above it, for the name of the
// next directory on the way down.
std::map<fs::path, Watched> Plan(const std::vector<fs::path>& wanted) {
  std::map<fs::path, Watched> plan;
  for (const fs::path& dir : wanted) {
    if (IsDirectory(dir)) {
      Watched& watched = plan[dir];
      watched.path = dir;
      watched.whole = true;
      continue;
    }
    fs::path above = dir.parent_path();
    std::string next = dir.filename().string();
    while (above.has_relative_path() && !IsDirectory(above)) {
      next = above.filename().string();
      above = above.parent_path();
    }
    if (!IsDirectory(above)) continue;  // a relative path under a missing start
    Watched& watched = plan[above];
    watched.path = above;
    watched.names.insert(next);
  }
  return plan;
}

int ToPollTimeout(Clock::time_point deadline, bool infinite) {
  if (infinite) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

}  // namespace

struct PortWatch::Impl {
  std::vector<fs::path> wanted;
  int fd = -1;  // -1: no inotify, a look once a second instead
  std::map<int, Watched> watches;
  bool pending = false;  // a change seen while arming, not yet reported

  explicit Impl(std::vector<fs::path> directories) {
    for (fs::path& dir : directories) wanted.push_back(dir.lexically_normal());
    fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0) Arm();
    pending = false;  // what existed before the watch began is no change
  }
  ~Impl() { GiveUpInotify(); }

  void GiveUpInotify() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    watches.clear();
  }

  // Brings the watches in line with what exists now. A directory that
  // appeared meanwhile may have been filled before its watch began: that
  // counts as a change, and the watches are planned again.
  void Arm() {
    for (int round = 0; round < 8 && fd >= 0; ++round) {
      const auto plan = Plan(wanted);
      std::map<int, Watched> armed;
      bool raced = false;
      for (const auto& [path, watched] : plan) {
        uint32_t mask = IN_ONLYDIR | IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
        if (watched.whole) mask |= IN_DELETE | IN_MOVED_FROM | IN_ATTRIB;
        const int wd = ::inotify_add_watch(fd, path.c_str(), mask);
        if (wd >= 0) {
          armed[wd] = watched;
        } else if (errno == ENOENT || errno == ENOTDIR) {
          raced = true;  // gone since the plan: plan again
        } else {
          // The system's watches are used up, or a directory may not be
          // watched: a change there would go unseen, so look once a second.
          GiveUpInotify();
          pending = true;
          return;
        }
      }
      for (const auto& [wd, watched] : watches) {
        if (!armed.contains(wd)) ::inotify_rm_watch(fd, wd);
      }
      watches = std::move(armed);
      for (const fs::path& dir : wanted) {
        const auto it = plan.find(dir);
        if ((it == plan.end() || !it->second.whole) && IsDirectory(dir)) raced = true;
      }
      if (!raced) return;
      pending = true;
    }
  }

  // Reads what inotify has; true when any of it may change a port's
  // resolution. The watches follow directories that came or went.
  bool TakeEvents() {
    alignas(inotify_event) char buffer[8192];
    bool relevant = false;
    bool rearm = false;
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got <= 0) {
        if (got < 0 && errno == EINTR) continue;
        break;
      }
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          relevant = rearm = true;
          continue;
        }
        const auto it = watches.find(event->wd);
        if (it == watches.end()) continue;  // a watch already let go
        if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
          relevant = rearm = true;
          continue;
        }
        if (it->second.whole) relevant = true;
        if (event->len > 0 && it->second.names.contains(event->name)) relevant = rearm = true;
      }
    }
    if (rearm) Arm();
    if (pending) relevant = true;
    pending = false;
    return relevant;
  }

  Wake WaitWithoutInotify(ManualResetEvent* wakeup, Clock::time_point deadline, bool infinite) {
    const int left = ToPollTimeout(deadline, infinite);
    const bool at_deadline = left >= 0 && static_cast<uint32_t>(left) <= kFallbackLookMs;
    const uint32_t pause = at_deadline ? static_cast<uint32_t>(left) : kFallbackLookMs;
    if (wakeup != nullptr) {
      if (wakeup->Wait(pause) == WaitResult::Signaled) return Wake::WakeUp;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }
    return at_deadline ? Wake::Timeout : Wake::Changed;
  }
};

PortWatch::PortWatch()
    : PortWatch(std::vector<fs::path>{"/dev", "/dev/serial/by-path", "/dev/serial/by-id",
                                      VirtualPortDirectory()}) {}

PortWatch::PortWatch(std::vector<fs::path> directories)
    : impl_(std::make_unique<Impl>(std::move(directories))) {}

PortWatch::~PortWatch() = default;

PortWatch::Wake PortWatch::Wait(ManualResetEvent* wakeup, uint32_t timeout_ms) {
  const bool infinite = timeout_ms == kInfinite;
  const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeout_ms);
  for (;;) {
    if (wakeup != nullptr && wakeup->IsSignaled()) return Wake::WakeUp;
    if (impl_->pending) {
      impl_->pending = false;
      return Wake::Changed;
    }
    if (impl_->fd < 0) return impl_->WaitWithoutInotify(wakeup, deadline, infinite);
    pollfd fds[2] = {{impl_->fd, POLLIN, 0},
                     {wakeup ? ManualResetEventAccess::PollFd(*wakeup) : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 2, ToPollTimeout(deadline, infinite));
    if (ready < 0) {
      if (errno == EINTR) continue;
      impl_->GiveUpInotify();
      continue;
    }
    if (ready == 0) return Wake::Timeout;
    if (fds[1].revents != 0) return Wake::WakeUp;
    if (impl_->TakeEvents()) return Wake::Changed;
  }
}

}  // namespace platform
