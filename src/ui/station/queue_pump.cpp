#include "ui/station/queue_pump.h"

#include <mutex>

#include "toolkit/event_loop.h"

namespace quarnel::station_window {

namespace {

// What arrives within this long is taken at one wake-up: many slots' progress
// events cost the loop one turn, not one each.
constexpr uint32_t kGatherMs = 200;

}  // namespace

struct QueuePump::Shared {
  station::SupervisorQueue* queue = nullptr;
  Deliver deliver;
  std::mutex mutex;
  tk::EventLoop::TimerId timer = 0;  // 0: no wake-up is due
  bool closed = false;

  // Any thread: the loop takes the queue at its next turn.
  static void Posted(const std::shared_ptr<Shared>& self) {
    std::lock_guard lock(self->mutex);
    if (self->closed || self->timer != 0) return;
    std::weak_ptr<Shared> weak = self;
    self->timer = tk::MainLoop().AddTimer(kGatherMs, [weak] {
      if (const auto shared = weak.lock()) shared->Drain();
    });
  }

  // The main loop: once per wake-up, everything that is there.
  void Drain() {
    {
      std::lock_guard lock(mutex);
      if (timer != 0) tk::MainLoop().RemoveTimer(timer);
      timer = 0;
      if (closed) return;
    }
    for (const station::SupervisorInput& input : queue->Take()) deliver(input);
  }
};

QueuePump::QueuePump(station::SupervisorQueue& queue, Deliver deliver)
    : queue_(queue), shared_(std::make_shared<Shared>()) {
  shared_->queue = &queue;
  shared_->deliver = std::move(deliver);
  std::weak_ptr<Shared> weak = shared_;
  queue.SetOnPost([weak] {
    if (const auto shared = weak.lock()) Shared::Posted(shared);
  });
}

QueuePump::~QueuePump() {
  queue_.SetOnPost(nullptr);
  std::lock_guard lock(shared_->mutex);
  shared_->closed = true;
  if (shared_->timer != 0) tk::MainLoop().RemoveTimer(shared_->timer);
  shared_->timer = 0;
}

}  // namespace quarnel::station_window
