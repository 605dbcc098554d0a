#pragma once
// quarnel-cli --summarize LOG [--csv]: what a unit log says, per image, slot
// and day: units passed and failed, the yield and the median time of a
// programmed unit. A damaged line is reported with its number and skipped.
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quarnel::cli {

struct SummaryGroup {
  std::string day;  // YYYY-MM-DD on the station's clock
  std::string image;
  std::string image_sha256;
  std::string slot;
  int passed = 0;
  int failed = 0;
  std::optional<double> median_unit_s;  // of the programmed units
  double YieldPercent() const;
};

struct LogSummary {
  std::vector<SummaryGroup> groups;  // by day, image, slot
  // "LINE: why" for every line that could not be read.
  std::vector<std::string> damaged;
};

LogSummary SummarizeLog(std::istream& log);
std::string FormatSummaryTable(const LogSummary& summary);
std::string FormatSummaryCsv(const LogSummary& summary);

}  // namespace quarnel::cli
