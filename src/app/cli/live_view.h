#pragma once
// What the supervisor of several ports shows: on a terminal one line per
// port redrawn in place, and at the end a summary table.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarnel::cli {

struct PortView {
  std::string port;
  std::string phase = "starting";  // the child's phase, or how it ended
  std::optional<int> percent;      // while the image is sent
  std::optional<int64_t> bytes_per_s;
  bool station = false;  // show the counts of units passed and failed
  int passed = 0;
  int failed = 0;
};

// "sim0   program   45%   2310 B/s" and, in station mode,
// "   passed 3 failed 1"; the port name padded to `port_width`.
std::string FormatLiveLine(const PortView& view, size_t port_width);

struct SummaryRow {
  std::string port;
  std::string target_id;  // "-" when no target answered
  std::string outcome;
  std::optional<double> seconds;
};

// A table with a heading: PORT, TARGET, OUTCOME, TIME, columns aligned.
std::string FormatSummary(const std::vector<SummaryRow>& rows);

// Lines kept at the bottom of a terminal and redrawn in place; other lines
// are printed above them. Each call gives the text to write, whole.
class LiveView {
 public:
  std::string Draw(const std::vector<std::string>& lines);
  std::string PrintAbove(const std::string& line);
  // Leaves the lines where they are; what follows goes below them.
  void Finish() { drawn_ = 0; }

 private:
  std::string Erase();
  std::vector<std::string> lines_;
  size_t drawn_ = 0;
};

// `line` cut to fit `columns` (a terminal wraps a line that fills it, and
// the redraw would then leave its wrapped part behind); whole characters of
// UTF-8. Unchanged without a width.
std::string FitToColumns(const std::string& line, std::optional<int> columns);

}  // namespace quarnel::cli
