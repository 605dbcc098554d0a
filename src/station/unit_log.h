#pragma once
// --log FILE: one JSON line for every unit attempt, appended in one write so
// that several quarnel-cli processes can share the file.
#include <chrono>
#include <memory>
#include <string>

#include "platform/append_file.h"
#include "station/unit_result.h"

namespace quarnel::station {

struct UnitLogEntry {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  std::string host;
  std::string port;
  std::string image_path;  // as the operator named it
  UnitResult result;
};

// The entry of a unit that ended `now`: it started when its target answered
// the capture (when the sequence began, if none did).
UnitLogEntry MakeUnitLogEntry(const UnitResult& result, const std::string& port,
                              const std::string& image_path,
                              std::chrono::system_clock::time_point now);

// The whole line, with its line feed.
std::string FormatUnitLogLine(const UnitLogEntry& entry);

class UnitLog {
 public:
  // Opens (creates) the log, or throws std::runtime_error with a message
  // that names the file and says what to do.
  explicit UnitLog(const std::string& path);
  // Appends the entry; false, with `error` set, when it could not.
  bool Write(const UnitLogEntry& entry, std::string& error);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::unique_ptr<platform::AppendFile> file_;
};

}  // namespace quarnel::station
