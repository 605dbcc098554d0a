#pragma once
// The status display's lines on stdout, one at a time and flushed at once,
// so a log watcher or a calling script sees each line as it is written.
#include <ostream>
#include <string>

#include "app/cli/progress_line.h"

namespace quarnel::cli {

// The line as it is printed: the target's own line end taken off, other
// control characters (line noise from the port) shown as \xHH so they
// cannot upset the terminal or split the line.
std::string PrintableLine(const std::string& line);

class StatusOutput {
 public:
  // `progress` is taken off the terminal around each line when both streams
  // share it.
  StatusOutput(std::ostream& out, ProgressLine& progress, bool shares_terminal)
      : out_(out), progress_(progress), shares_terminal_(shares_terminal) {}
  void Print(const std::string& line);

 private:
  std::ostream& out_;
  ProgressLine& progress_;
  bool shares_terminal_;
};

}  // namespace quarnel::cli
