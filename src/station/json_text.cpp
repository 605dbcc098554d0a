#include "station/json_text.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <nlohmann/json.hpp>

namespace quarnel::station {

std::string JsonLine(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string UtcTimeText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(when);
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss time{ms - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::optional<std::chrono::system_clock::time_point> ParseUtcTimeText(std::string_view text) {
  using namespace std::chrono;
  // YYYY-MM-DDTHH:MM:SS.mmmZ
  if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != '.' || text[23] != 'Z') {
    return std::nullopt;
  }
  const auto number = [&](size_t at, size_t length) -> std::optional<int> {
    int value = 0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + length, value);
    if (error != std::errc() || end != first + length) return std::nullopt;
    return value;
  };
  const auto y = number(0, 4), mo = number(5, 2), d = number(8, 2), h = number(11, 2),
             mi = number(14, 2), s = number(17, 2), ms = number(20, 3);
  if (!y || !mo || !d || !h || !mi || !s || !ms) return std::nullopt;
  const year_month_day date{year(*y), month(static_cast<unsigned>(*mo)),
                            day(static_cast<unsigned>(*d))};
  if (!date.ok() || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
  return sys_days(date) + hours(*h) + minutes(*mi) + seconds(*s) + milliseconds(*ms);
}

std::string LocalTimeText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const std::time_t seconds = system_clock::to_time_t(when);
  char date[32];
  char offset[8];
  {
    // std::localtime shares one result and the time zone's state among
    // threads: one at a time.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return {};
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", local);
    std::strftime(offset, sizeof offset, "%z", local);
  }
  char text[48];
  std::snprintf(text, sizeof text, "%s.%03d%s", date, static_cast<int>(((ms % 1000) + 1000) % 1000),
                offset);
  return text;
}

}  // namespace quarnel::station
