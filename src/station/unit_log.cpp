#include "station/unit_log.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <stdexcept>

#include "station/event_names.h"
#include "station/json_text.h"

namespace quarnel::station {

std::string NewRunId() {
  std::random_device random;
  std::string id;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    id += part;
  }
  return id;
}

std::string FormatUnitLogLine(const RecordContext& context, const UnitLogEntry& entry) {
  const UnitResult& r = entry.result;
  const auto duration_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(entry.end - entry.start).count();
  nlohmann::json recipe;
  if (context.recipe) recipe = {{"path", context.recipe->path}, {"sha256", context.recipe->sha256}};
  const nlohmann::json line{
      {"schema", kUnitRecordSchema},
      {"run_id", context.run_id},
      {"sequence", entry.sequence},
      {"station", context.station},
      {"slot", entry.slot},
      {"port", entry.port},
      {"host", context.host},
      {"operator", context.operator_name},
      {"unit_id", r.unit_id ? nlohmann::json(*r.unit_id) : nlohmann::json()},
      {"recipe", recipe},
      {"start_local", LocalTimeText(entry.start)},
      {"start_utc", UtcTimeText(entry.start)},
      {"end_local", LocalTimeText(entry.end)},
      {"end_utc", UtcTimeText(entry.end)},
      {"target_id", r.target_id},
      {"image", entry.image_path},
      {"image_size", r.image_size ? nlohmann::json(*r.image_size) : nlohmann::json()},
      {"image_sha256", r.image_sha256},
      {"outcome", EndingName(r.ending)},
      {"exit_status", r.exit_status},
      {"reason", r.reason},
      {"blocks", r.blocks_sent},
      {"blocks_total", r.blocks_total},
      {"retransmissions", r.retransmissions},
      {"duration_s", static_cast<double>(duration_ms) / 1000.0},
  };
  return JsonLine(line) + "\n";
}

UnitLog::UnitLog(const std::string& path, RecordContext context)
    : path_(path), context_(std::move(context)) {
  std::string error;
  file_ = platform::AppendFile::Open(path, error);
  if (!file_) {
    throw std::runtime_error("cannot write the unit log " + path + ": " + error +
                             " (--log FILE); nothing was erased");
  }
}

UnitLogEntry UnitLog::Entry(const UnitResult& result, const std::string& slot,
                            const std::string& port, const std::string& image_path,
                            std::chrono::system_clock::time_point now) {
  UnitLogEntry entry;
  entry.end = now;
  entry.start = now - std::chrono::milliseconds(result.unit_elapsed_ms.value_or(result.elapsed_ms));
  entry.slot = slot;
  entry.port = port;
  entry.image_path = image_path;
  entry.result = result;
  entry.sequence = next_sequence_++;
  return entry;
}

bool UnitLog::Write(const UnitLogEntry& entry, std::string& error) {
  return file_->Append(Line(entry), error);
}

}  // namespace quarnel::station
