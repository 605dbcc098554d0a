#include "line_pacer.h"

#include <algorithm>

namespace targetsim {

LinePacer::LinePacer(uint32_t baud) {
  if (baud != 0) {
    character_time_ = std::chrono::duration_cast<SimClock::duration>(
        std::chrono::nanoseconds(10'000'000'000LL / baud));
  }
}

SimClock::time_point LinePacer::Receive(SimClock::time_point now) {
  receive_free_ = std::max(receive_free_, now) + character_time_;
  return receive_free_;
}

SimClock::time_point LinePacer::Transmit(SimClock::time_point ready, size_t count) {
  transmit_free_ = std::max(transmit_free_, ready) +
                   character_time_ * static_cast<SimClock::duration::rep>(count);
  return transmit_free_;
}

}  // namespace targetsim
