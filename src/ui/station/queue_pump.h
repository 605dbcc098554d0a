#pragma once
// Brings what a station's queue receives (from its children's reader
// threads) to the window's main loop: each post wakes the loop once, and
// the loop hands everything waiting to the window, in order. Nothing polls.
#include <functional>
#include <memory>

#include "station/supervisor_queue.h"

namespace quarnel::station_window {

class QueuePump {
 public:
  using Deliver = std::function<void(const station::SupervisorInput&)>;
  // `deliver` runs on the main loop. The pump must outlive every poster.
  QueuePump(station::SupervisorQueue& queue, Deliver deliver);
  ~QueuePump();
  QueuePump(const QueuePump&) = delete;
  QueuePump& operator=(const QueuePump&) = delete;

 private:
  struct Shared;
  station::SupervisorQueue& queue_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace quarnel::station_window
