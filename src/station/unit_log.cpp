#include "station/unit_log.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "station/event_names.h"
#include "station/json_text.h"

namespace quarnel::station {

UnitLogEntry MakeUnitLogEntry(const UnitResult& result, const std::string& port,
                              const std::string& image_path,
                              std::chrono::system_clock::time_point now) {
  UnitLogEntry entry;
  entry.end = now;
  entry.start = now - std::chrono::milliseconds(result.unit_elapsed_ms.value_or(result.elapsed_ms));
  entry.host = platform::HostName();
  entry.port = port;
  entry.image_path = image_path;
  entry.result = result;
  return entry;
}

std::string FormatUnitLogLine(const UnitLogEntry& entry) {
  const UnitResult& r = entry.result;
  const auto duration_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(entry.end - entry.start).count();
  nlohmann::json line{
      {"start_local", LocalTimeText(entry.start)},
      {"start_utc", UtcTimeText(entry.start)},
      {"end_local", LocalTimeText(entry.end)},
      {"end_utc", UtcTimeText(entry.end)},
      {"host", entry.host},
      {"port", entry.port},
      {"target_id", r.target_id},
      {"image", entry.image_path},
      {"image_size", r.image_size ? nlohmann::json(*r.image_size) : nlohmann::json()},
      {"image_sha256", r.image_sha256},
      {"outcome", EndingName(r.ending)},
      {"exit_status", r.exit_status},
      {"blocks", r.blocks_sent},
      {"blocks_total", r.blocks_total},
      {"retransmissions", r.retransmissions},
      {"duration_s", static_cast<double>(duration_ms) / 1000.0},
  };
  return JsonLine(line) + "\n";
}

UnitLog::UnitLog(const std::string& path) : path_(path) {
  std::string error;
  file_ = platform::AppendFile::Open(path, error);
  if (!file_) {
    throw std::runtime_error("cannot write the unit log " + path + ": " + error +
                             "; choose a file you may write (--log FILE); nothing was erased");
  }
}

bool UnitLog::Write(const UnitLogEntry& entry, std::string& error) {
  return file_->Append(FormatUnitLogLine(entry), error);
}

}  // namespace quarnel::station
