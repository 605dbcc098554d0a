#pragma once
// What reaches the supervisor of a station, from any thread, in the order it
// happened: the lines of its children (their events already read), their
// ends, and stop requests from outside. The supervisor waits on the queue
// only, so it never spins.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "station/child_events.h"

namespace quarnel::station {

// A line of one child (`run`) of a slot.
struct ChildLine {
  size_t slot = 0;
  uint64_t run = 0;
  bool error_stream = false;  // its stderr: text for the operator
  std::string text;
  // Read from a line of its stdout; none for stderr and for a line that was
  // no event (`unreadable` says why).
  std::optional<TimedEvent> event;
  std::string unreadable;
};

struct ChildEnded {
  size_t slot = 0;
  uint64_t run = 0;
  int exit_status = 0;  // 128 + the signal for a child ended by a signal
};

// Ctrl-C or a request to terminate, for the whole station.
struct StopRequest {
  int signal = 0;
};

using SupervisorInput = std::variant<ChildLine, ChildEnded, StopRequest>;

class SupervisorQueue {
 public:
  void Post(SupervisorInput input);
  // Waits for input until `deadline` (none: as long as it takes) and takes
  // all that is there; empty when the deadline passed.
  std::vector<SupervisorInput> Wait(std::optional<std::chrono::steady_clock::time_point> deadline);
  // Takes what is there without waiting.
  std::vector<SupervisorInput> Take();
  // Called (on the posting thread, outside the queue's lock) after each
  // post: a supervisor driven by a window's event loop wakes that loop.
  void SetOnPost(std::function<void()> on_post);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<SupervisorInput> inputs_;
  std::function<void()> on_post_;
};

}  // namespace quarnel::station
