#include "ui/station/recent_units.h"

#include <cstdio>
#include <ctime>

namespace quarnel::station_window {
namespace {

// A column of `width` characters (cut with "~" where the text is longer).
std::string Column(const std::string& text, size_t width) {
  if (text.size() > width) return text.substr(0, width - 1) + "~ ";
  return text + std::string(width - text.size() + 1, ' ');
}

std::string LocalTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

constexpr size_t kSlotWidth = 6;
constexpr size_t kUnitWidth = 14;

}  // namespace

void RecentUnits::Add(RecentUnit unit) {
  units_.push_front(std::move(unit));
  if (units_.size() > kShown) units_.pop_back();
}

std::string RecentHeading() {
  return Column("time", 8) + Column("slot", kSlotWidth) + Column("unit ID", kUnitWidth) +
         Column("target", 6) + Column("result", 6) + "time";
}

std::string RecentLine(const RecentUnit& unit) {
  const Verdict& v = unit.verdict;
  char seconds[16];
  std::snprintf(seconds, sizeof seconds, "%.1f s", static_cast<double>(v.duration_ms) / 1000.0);
  return Column(LocalTime(v.ended), 8) + Column(unit.slot, kSlotWidth) +
         Column(v.unit_id.value_or("-"), kUnitWidth) +
         Column(v.target_id.empty() ? "-" : v.target_id, 6) +
         Column(v.passed ? "PASS" : "FAIL", 6) + seconds;
}

}  // namespace quarnel::station_window
