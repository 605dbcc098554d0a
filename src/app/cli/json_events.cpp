#include "app/cli/json_events.h"

#include <cstdio>

#include "app/cli/status_output.h"

namespace quarnel::cli {
namespace {

// A rate measured over less than this is no rate yet.
constexpr double kMinMeasuringTimeS = 0.5;

}  // namespace

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

void JsonEvents::Emit(nlohmann::json event) {
  event["time"] = UtcTimeText(std::chrono::system_clock::now());
  // Bytes from the line that are no UTF-8 are replaced, not a reason to stop.
  out_ << event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n'
       << std::flush;
}

void JsonEvents::Status(const std::string& line) {
  Emit({{"event", "status"}, {"line", PrintableLine(line)}});
}

void JsonEvents::Message(const std::string& text) {
  Emit({{"event", "message"}, {"text", text}});
}

void JsonEvents::Phase(const std::string& phase) {
  Emit({{"event", "phase"}, {"phase", phase}});
}

void JsonEvents::Progress(const ProgressSnapshot& p) {
  nlohmann::json rate;
  if (p.elapsed_s >= kMinMeasuringTimeS && p.bytes_sent > 0) {
    rate = static_cast<int64_t>(static_cast<double>(p.bytes_sent) / p.elapsed_s + 0.5);
  }
  Emit({{"event", "progress"},
        {"blocks_sent", p.blocks_sent},
        {"blocks_total", p.blocks_total},
        {"bytes_sent", p.bytes_sent},
        {"bytes_total", p.bytes_total},
        {"bytes_per_s", rate}});
}

void JsonEvents::Outcome(const UnitResult& result) {
  nlohmann::json event = ToJson(result);
  event["event"] = "outcome";
  Emit(std::move(event));
}

}  // namespace quarnel::cli
