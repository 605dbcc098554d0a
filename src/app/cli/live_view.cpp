#include "app/cli/live_view.h"

#include <algorithm>
#include <cstdio>

namespace quarnel::cli {
namespace {

std::string Pad(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string FormatLiveLine(const PortView& view, size_t port_width) {
  std::string line = Pad(view.port, port_width) + "  " + Pad(view.phase, 24);
  if (view.percent) {
    line += Pad(std::to_string(*view.percent) + "%", 6);
    line +=
        view.bytes_per_s ? Pad(std::to_string(*view.bytes_per_s) + " B/s", 10) : Pad("-- B/s", 10);
  } else {
    line += std::string(16, ' ');
  }
  if (view.station) {
    line += "passed " + std::to_string(view.passed) + " failed " + std::to_string(view.failed);
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string FormatSummary(const std::vector<SummaryRow>& rows) {
  std::vector<std::vector<std::string>> cells{{"PORT", "TARGET", "OUTCOME", "TIME"}};
  for (const SummaryRow& row : rows) {
    std::string time = "-";
    if (row.seconds) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f s", *row.seconds);
      time = text;
    }
    cells.push_back({row.port, row.target_id.empty() ? "-" : row.target_id, row.outcome, time});
  }
  std::vector<size_t> widths(4, 0);
  for (const auto& line : cells) {
    for (size_t i = 0; i < 4; ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  std::string table;
  for (const auto& line : cells) {
    std::string text;
    for (size_t i = 0; i < 4; ++i) text += (i + 1 < 4 ? Pad(line[i], widths[i] + 2) : line[i]);
    table += text + "\n";
  }
  return table;
}

std::string LiveView::Erase() {
  if (drawn_ == 0) return {};
  // Up to the first line, then everything below it cleared.
  const std::string text = "\r\x1b[" + std::to_string(drawn_) + "A\x1b[J";
  drawn_ = 0;
  return text;
}

std::string LiveView::Draw(const std::vector<std::string>& lines) {
  lines_ = lines;
  std::string text = Erase();
  for (const std::string& line : lines_) text += line + "\x1b[K\n";
  drawn_ = lines_.size();
  return text;
}

std::string LiveView::PrintAbove(const std::string& line) {
  std::string text = Erase() + line + "\n";
  const std::vector<std::string> lines = lines_;
  return text + Draw(lines);
}

std::string FitToColumns(const std::string& line, std::optional<int> columns) {
  if (!columns) return line;
  // One column left free: a line that fills the last one wraps on some terminals.
  const size_t room = *columns > 1 ? static_cast<size_t>(*columns - 1) : 1;
  size_t characters = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    // A character begins at every byte that is no UTF-8 continuation byte.
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && characters++ == room) {
      return line.substr(0, i);
    }
  }
  return line;
}

}  // namespace quarnel::cli
