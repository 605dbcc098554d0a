#pragma once
// --log FILE: one JSON line for every unit attempt ("quarnel.unit/1"),
// appended in one write so that several quarnel-cli processes can share the
// file. Each record says who and where (station, slot, operator, recipe),
// which unit, which image and how it went; records of one run carry its
// run ID and numbers counting from 1, so a lost line shows as a gap.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/append_file.h"
#include "station/unit_result.h"

namespace quarnel::station {

inline constexpr char kUnitRecordSchema[] = "quarnel.unit/1";

struct RecipeRef {
  std::string path;
  std::string sha256;
};

// The same for every record of one run.
struct RecordContext {
  std::string station;  // the station's name
  std::string operator_name;
  std::optional<RecipeRef> recipe;
  std::string run_id;  // NewRunId()
  std::string host;
};

// 32 hex digits no other run has.
std::string NewRunId();

struct UnitLogEntry {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  std::string slot;
  std::string port;
  std::string image_path;  // as the operator named it
  UnitResult result;
  uint64_t sequence = 0;  // from 1 in each run
};

// The whole line, with its line feed.
std::string FormatUnitLogLine(const RecordContext& context, const UnitLogEntry& entry);

class UnitLog {
 public:
  // Opens (creates) the log, or throws std::runtime_error with a message
  // that names the file and says what to do.
  UnitLog(const std::string& path, RecordContext context);

  // The record of a unit that ended `now` with the next number: it started
  // when its target answered the capture (when the sequence began, if none
  // did).
  UnitLogEntry Entry(const UnitResult& result, const std::string& slot, const std::string& port,
                     const std::string& image_path, std::chrono::system_clock::time_point now);
  // Appends the entry; false, with `error` set, when it could not.
  bool Write(const UnitLogEntry& entry, std::string& error);
  std::string Line(const UnitLogEntry& entry) const { return FormatUnitLogLine(context_, entry); }

  const std::string& path() const { return path_; }
  const RecordContext& context() const { return context_; }

 private:
  std::string path_;
  RecordContext context_;
  uint64_t next_sequence_ = 1;
  std::unique_ptr<platform::AppendFile> file_;
};

}  // namespace quarnel::station
