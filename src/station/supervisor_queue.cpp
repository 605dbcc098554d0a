#include "station/supervisor_queue.h"

namespace quarnel::station {

void SupervisorQueue::Post(SupervisorInput input) {
  std::function<void()> on_post;
  {
    std::lock_guard lock(mutex_);
    inputs_.push_back(std::move(input));
    on_post = on_post_;
  }
  ready_.notify_one();
  if (on_post) on_post();
}

std::vector<SupervisorInput> SupervisorQueue::Wait(
    std::optional<std::chrono::steady_clock::time_point> deadline) {
  std::unique_lock lock(mutex_);
  const auto has_input = [this] { return !inputs_.empty(); };
  if (deadline) {
    ready_.wait_until(lock, *deadline, has_input);
  } else {
    ready_.wait(lock, has_input);
  }
  std::vector<SupervisorInput> taken(std::make_move_iterator(inputs_.begin()),
                                     std::make_move_iterator(inputs_.end()));
  inputs_.clear();
  return taken;
}

std::vector<SupervisorInput> SupervisorQueue::Take() {
  std::lock_guard lock(mutex_);
  std::vector<SupervisorInput> taken(std::make_move_iterator(inputs_.begin()),
                                     std::make_move_iterator(inputs_.end()));
  inputs_.clear();
  return taken;
}

void SupervisorQueue::SetOnPost(std::function<void()> on_post) {
  std::lock_guard lock(mutex_);
  on_post_ = std::move(on_post);
}

}  // namespace quarnel::station
