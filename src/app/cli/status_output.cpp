#include "app/cli/status_output.h"

#include <cstdio>

namespace quarnel::cli {

std::string PrintableLine(const std::string& line) {
  size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  std::string text;
  text.reserve(end);
  for (size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      text += escaped;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

void StatusOutput::Print(const std::string& line) {
  if (shares_terminal_) progress_.Suspend();
  out_ << PrintableLine(line) << '\n' << std::flush;
  if (shares_terminal_) progress_.Resume();
}

}  // namespace quarnel::cli
