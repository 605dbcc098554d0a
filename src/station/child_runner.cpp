#include "station/child_runner.h"

#include <system_error>

namespace quarnel::station {
namespace {

// A line longer than this is handed on in pieces rather than kept growing.
constexpr size_t kLongestLine = 64 * 1024;

}  // namespace

ThreadStarter PlainThreads() {
  return [](std::function<void()> body) { return std::thread(std::move(body)); };
}

std::unique_ptr<RunningChild> ProcessLauncher::Launch(size_t slot, uint64_t run,
                                                      const std::vector<std::string>& args) {
  return std::make_unique<ChildRunner>(queue_, slot, run, program_, args, start_thread_);
}

ChildRunner::ChildRunner(SupervisorQueue& queue, size_t slot, uint64_t run,
                         const std::string& program, const std::vector<std::string>& args,
                         const ThreadStarter& start_thread)
    : queue_(queue), slot_(slot), run_(run), child_(program, args) {
  try {
    output_reader_ = start_thread([this] { ReadStream(platform::ChildProcess::Stream::kOutput); });
    error_reader_ = start_thread([this] { ReadStream(platform::ChildProcess::Stream::kError); });
  } catch (const std::system_error& error) {
    // A child nobody reads must not run on: end it, and the reader that
    // did start sees the end of its stream.
    child_.Kill();
    if (output_reader_.joinable()) output_reader_.join();
    child_.Wait();
    throw std::system_error(
        error.code(), std::string("could not start the threads that watch it: ") + error.what());
  }
}

ChildRunner::~ChildRunner() {
  // A child that ended has closed its streams already; one still running is
  // ended here, so its readers see the end of their streams.
  child_.Kill();
  if (output_reader_.joinable()) output_reader_.join();
  if (error_reader_.joinable()) error_reader_.join();
}

void ChildRunner::PostLine(bool error_stream, std::string text) {
  ChildLine line;
  line.slot = slot_;
  line.run = run_;
  line.error_stream = error_stream;
  if (!error_stream) {
    // Read here, on the reader's thread: the supervisor gets values.
    auto decoded = DecodeEvent(text);
    if (auto* event = std::get_if<TimedEvent>(&decoded)) {
      line.event = std::move(*event);
    } else {
      line.unreadable = std::get<UnreadableEvent>(decoded).reason;
    }
  }
  line.text = std::move(text);
  queue_.Post(std::move(line));
}

void ChildRunner::ReadStream(platform::ChildProcess::Stream stream) {
  const bool error_stream = stream == platform::ChildProcess::Stream::kError;
  std::string pending;
  char buffer[4096];
  for (;;) {
    const size_t got = child_.Read(stream, buffer, sizeof buffer);
    if (got == 0) break;
    pending.append(buffer, got);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      PostLine(error_stream, pending.substr(start, end - start));
    }
    pending.erase(0, start);
    if (pending.size() > kLongestLine) {
      PostLine(error_stream, std::move(pending));
      pending.clear();
    }
  }
  if (!pending.empty()) PostLine(error_stream, std::move(pending));
  // The last stream to end reports the child's end, after all its lines.
  if (open_streams_.fetch_sub(1) == 1) queue_.Post(ChildEnded{slot_, run_, child_.Wait()});
}

}  // namespace quarnel::station
