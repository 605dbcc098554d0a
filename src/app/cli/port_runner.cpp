#include "app/cli/port_runner.h"

namespace quarnel::cli {
namespace {

// A line longer than this is handed on in pieces rather than kept growing.
constexpr size_t kLongestLine = 64 * 1024;

}  // namespace

void EventQueue::Post(RunnerEvent event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  ready_.notify_one();
}

std::vector<RunnerEvent> EventQueue::Wait(
    std::optional<std::chrono::steady_clock::time_point> deadline) {
  std::unique_lock lock(mutex_);
  const auto has_events = [this] { return !events_.empty(); };
  if (deadline) {
    ready_.wait_until(lock, *deadline, has_events);
  } else {
    ready_.wait(lock, has_events);
  }
  std::vector<RunnerEvent> taken(std::make_move_iterator(events_.begin()),
                                 std::make_move_iterator(events_.end()));
  events_.clear();
  return taken;
}

PortRunner::PortRunner(EventQueue& queue, size_t slot, uint64_t run, const std::string& program,
                       const std::vector<std::string>& args)
    : queue_(queue), slot_(slot), run_(run), child_(program, args) {
  output_reader_ = std::thread([this] { ReadStream(platform::ChildProcess::Stream::kOutput); });
  error_reader_ = std::thread([this] { ReadStream(platform::ChildProcess::Stream::kError); });
}

PortRunner::~PortRunner() {
  // A child that ended has closed its streams already; one still running is
  // ended here, so its readers see the end of their streams.
  child_.Kill();
  if (output_reader_.joinable()) output_reader_.join();
  if (error_reader_.joinable()) error_reader_.join();
}

void PortRunner::ReadStream(platform::ChildProcess::Stream stream) {
  const auto kind = stream == platform::ChildProcess::Stream::kOutput
                        ? RunnerEvent::Kind::kOutputLine
                        : RunnerEvent::Kind::kErrorLine;
  std::string pending;
  char buffer[4096];
  for (;;) {
    const size_t got = child_.Read(stream, buffer, sizeof buffer);
    if (got == 0) break;
    pending.append(buffer, got);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      queue_.Post({kind, slot_, run_, pending.substr(start, end - start), 0});
    }
    pending.erase(0, start);
    if (pending.size() > kLongestLine) {
      queue_.Post({kind, slot_, run_, std::move(pending), 0});
      pending.clear();
    }
  }
  if (!pending.empty()) queue_.Post({kind, slot_, run_, std::move(pending), 0});
  // The last stream to end reports the child's end, after all its lines.
  if (open_streams_.fetch_sub(1) == 1) {
    queue_.Post({RunnerEvent::Kind::kEnded, slot_, run_, {}, child_.Wait()});
  }
}

}  // namespace quarnel::cli
