#pragma once
// The last units of the station, newest first, as the window lists them.
#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

#include "ui/station/tile_state.h"

namespace quarnel::station_window {

struct RecentUnit {
  std::string slot;
  Verdict verdict;
};

class RecentUnits {
 public:
  static constexpr size_t kShown = 20;
  void Add(RecentUnit unit);
  // Newest first, at most kShown.
  const std::deque<RecentUnit>& Units() const { return units_; }

 private:
  std::deque<RecentUnit> units_;
};

// The list's heading and one line per unit, in columns:
// time, slot, unit ID, target ID, verdict, duration.
std::string RecentHeading();
std::string RecentLine(const RecentUnit& unit);

}  // namespace quarnel::station_window
