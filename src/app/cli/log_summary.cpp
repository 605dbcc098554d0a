#include "app/cli/log_summary.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <tuple>

#include "platform/natural_order.h"

namespace quarnel::cli {
namespace {

using nlohmann::json;

struct Key {
  std::string day, image, image_sha256, slot;
  bool operator<(const Key& other) const {
    if (std::tie(day, image, image_sha256) !=
        std::tie(other.day, other.image, other.image_sha256)) {
      return std::tie(day, image, image_sha256) <
             std::tie(other.day, other.image, other.image_sha256);
    }
    return platform::NaturalLess(slot, other.slot);
  }
};

struct Tally {
  int passed = 0;
  int failed = 0;
  std::vector<double> programmed_s;
};

std::string Text(const json& line, const char* field) {
  const auto found = line.find(field);
  return found != line.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// The unit's day on the station's clock ("2026-12-09T05:12:39.979+0100").
std::optional<std::string> DayOf(const json& line) {
  std::string time = Text(line, "start_local");
  if (time.size() < 10) time = Text(line, "start_utc");
  if (time.size() < 10 || time[4] != '-' || time[7] != '-') return std::nullopt;
  return time.substr(0, 10);
}

std::optional<double> Median(std::vector<double> values) {
  if (values.empty()) return std::nullopt;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

std::string Number(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

double SummaryGroup::YieldPercent() const {
  const int total = passed + failed;
  return total == 0 ? 0.0 : 100.0 * passed / total;
}

LogSummary SummarizeLog(std::istream& log) {
  LogSummary summary;
  std::map<Key, Tally> tallies;
  std::string text;
  for (int number = 1; std::getline(log, text); ++number) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) continue;
    const auto damaged = [&](const std::string& why) {
      summary.damaged.push_back(std::to_string(number) + ": " + why);
    };
    const json line = json::parse(text, nullptr, false);
    if (line.is_discarded() || !line.is_object()) {
      damaged("not a JSON record");
      continue;
    }
    const auto status = line.find("exit_status");
    const auto day = DayOf(line);
    if (status == line.end() || !status->is_number_integer() || !day) {
      damaged("no exit status or start time");
      continue;
    }
    Key key{*day, Text(line, "image"), Text(line, "image_sha256"), Text(line, "slot")};
    // Records of a version without slots name the port.
    if (key.slot.empty()) key.slot = Text(line, "port");
    Tally& tally = tallies[key];
    if (status->get<int>() == 0) {
      ++tally.passed;
      const auto seconds = line.find("duration_s");
      if (seconds != line.end() && seconds->is_number()) {
        tally.programmed_s.push_back(seconds->get<double>());
      }
    } else {
      ++tally.failed;
    }
  }
  for (auto& [key, tally] : tallies) {
    summary.groups.push_back({key.day, key.image, key.image_sha256, key.slot, tally.passed,
                              tally.failed, Median(std::move(tally.programmed_s))});
  }
  return summary;
}

std::string FormatSummaryTable(const LogSummary& summary) {
  std::vector<std::vector<std::string>> cells{
      {"DAY", "IMAGE", "SLOT", "PASSED", "FAILED", "YIELD", "MEDIAN"}};
  for (const SummaryGroup& group : summary.groups) {
    std::string image = std::filesystem::path(group.image).filename().string();
    if (!group.image_sha256.empty()) image += " (" + group.image_sha256.substr(0, 12) + ")";
    cells.push_back({group.day, image, group.slot, std::to_string(group.passed),
                     std::to_string(group.failed), Number(group.YieldPercent(), "%.1f %%"),
                     group.median_unit_s ? Number(*group.median_unit_s, "%.1f s") : "-"});
  }
  std::vector<size_t> widths(cells.front().size(), 0);
  for (const auto& row : cells) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string table;
  for (const auto& row : cells) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    table += line + "\n";
  }
  return table;
}

std::string FormatSummaryCsv(const LogSummary& summary) {
  std::string csv = "day,image,image_sha256,slot,passed,failed,yield_percent,median_unit_s\n";
  for (const SummaryGroup& group : summary.groups) {
    csv += group.day + "," + CsvField(group.image) + "," + group.image_sha256 + "," +
           CsvField(group.slot) + "," + std::to_string(group.passed) + "," +
           std::to_string(group.failed) + "," + Number(group.YieldPercent(), "%.1f") + "," +
           (group.median_unit_s ? Number(*group.median_unit_s, "%.3f") : "") + "\n";
  }
  return csv;
}

}  // namespace quarnel::cli
