#pragma once
// The pace of a real serial line: at B baud each character (start bit, 8 data
// bits, stop bit) takes 10 bit times, in each direction independently. With
// baud 0 the line costs no time.
#include <chrono>
#include <cstdint>

namespace targetsim {

using SimClock = std::chrono::steady_clock;

class LinePacer {
 public:
  explicit LinePacer(uint32_t baud);

  // When a character read at `now` has fully arrived over the line.
  SimClock::time_point Receive(SimClock::time_point now);
  // When `count` characters handed to the line at `ready` have all gone out.
  SimClock::time_point Transmit(SimClock::time_point ready, size_t count);

 private:
  SimClock::duration character_time_{};
  SimClock::time_point receive_free_{};
  SimClock::time_point transmit_free_{};
};

}  // namespace targetsim
