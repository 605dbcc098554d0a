#include "app/cli/output_channel.h"

#include "platform/standard_streams.h"

namespace quarnel::cli {

struct OutputChannel::State {
  std::function<bool(const std::string&)> write;
  std::function<std::string(size_t)> dropped_note;
  size_t bound = 0;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::pair<std::string, Clock::time_point>> queue;
  bool writing = false;  // a text is being written (it has left the queue)
  Clock::time_point writing_since{};
  size_t dropped = 0;
  bool closed = false;    // no more texts; the writer ends when the queue is empty
  bool given_up = false;  // the writer ends at once
  bool stream_gone = false;
};

OutputChannel::OutputChannel(std::function<bool(const std::string&)> write,
                             std::function<std::string(size_t)> dropped_note, size_t bound)
    : state_(std::make_shared<State>()) {
  state_->write = std::move(write);
  state_->dropped_note = std::move(dropped_note);
  state_->bound = bound;
  writer_ = std::thread([state = state_] { Run(state); });
}

OutputChannel::~OutputChannel() {
  {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
    state_->given_up = true;
  }
  state_->changed.notify_all();
  // A writer blocked by a reader that never reads is left behind: it holds
  // its own share of the state, and the process does not wait for it.
  std::unique_lock lock(state_->mutex);
  if (state_->writing) {
    lock.unlock();
    writer_.detach();
  } else {
    lock.unlock();
    writer_.join();
  }
}

void OutputChannel::Run(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->changed.wait(lock,
                        [&] { return state->given_up || state->closed || !state->queue.empty(); });
    if (state->given_up || (state->queue.empty() && state->closed)) return;
    std::string text = std::move(state->queue.front().first);
    state->queue.pop_front();
    // Caught up after dropping: say how many went.
    if (state->queue.empty() && state->dropped > 0 && state->dropped_note) {
      text += state->dropped_note(state->dropped);
      state->dropped = 0;
    }
    state->writing = true;
    state->writing_since = Clock::now();
    lock.unlock();
    const bool written = state->stream_gone || state->write(text);
    lock.lock();
    state->writing = false;
    if (!written) state->stream_gone = true;
    state->changed.notify_all();
  }
}

void OutputChannel::Write(std::string text, Kind kind) {
  {
    std::lock_guard lock(state_->mutex);
    if (kind == Kind::kMayDrop && state_->queue.size() >= state_->bound) {
      ++state_->dropped;
      return;
    }
    state_->queue.emplace_back(std::move(text), Clock::now());
  }
  state_->changed.notify_all();
}

bool OutputChannel::Stalled(std::chrono::milliseconds limit) const {
  std::lock_guard lock(state_->mutex);
  const auto now = Clock::now();
  if (state_->writing && now - state_->writing_since > limit) return true;
  return !state_->queue.empty() && now - state_->queue.front().second > limit;
}

size_t OutputChannel::Pending() const {
  std::lock_guard lock(state_->mutex);
  return state_->queue.size() + (state_->writing ? 1 : 0);
}

bool OutputChannel::Finish(std::chrono::milliseconds grace) {
  std::unique_lock lock(state_->mutex);
  state_->closed = true;
  state_->changed.notify_all();
  return state_->changed.wait_for(lock, grace,
                                  [&] { return state_->queue.empty() && !state_->writing; });
}

bool WriteStandardOutput(const std::string& text) {
  return platform::WriteStandardStream(platform::StandardStream::kOutput, text);
}

}  // namespace quarnel::cli

namespace quarnel::cli {

bool WriteStandardError(const std::string& text) {
  return platform::WriteStandardStream(platform::StandardStream::kError, text);
}

}  // namespace quarnel::cli
