#pragma once
// Follows the guided chain from outside the window, through the lines of its
// status display and its state between two handlers, and decides when the
// chain has ended and how. The first decisive event wins.
#include <cstdint>
#include <optional>
#include <string>

#include "app/cli/exit_status.h"

namespace quarnel::cli {

struct Verdict {
  ExitStatus status;
  std::string reason;  // for the operator, on stderr
};

// The window's state as seen between two handlers.
struct ChainSample {
  int32_t last_response_code = 0;
  bool operation_timer_running = false;  // Timer1: capture, erase time-out or retransmission
  bool guided_timer_running = false;     // LSCProgramTimer
};

struct ChainLimits {
  std::optional<int64_t> capture_ms;  // none: the capture waits as long as it takes
  int64_t reset_answer_ms = 10000;    // the reset is repeated every 1.5 s until answered
  // Nothing waits for an answer and the last code starts no further step:
  // after this long the chain cannot go on.
  int64_t stall_ms = 4000;
};

class ChainWatcher {
 public:
  explicit ChainWatcher(ChainLimits limits) : limits_(limits) {}

  // The port is open and the capture runs.
  void Started(int64_t now_ms);
  void LineAdded(const std::string& line, int64_t now_ms);
  void Sample(const ChainSample& sample, int64_t now_ms);
  // Decided from outside (Ctrl-C, an error report); ignored once decided.
  void Decide(ExitStatus status, std::string reason);

  const std::optional<Verdict>& verdict() const { return verdict_; }
  bool captured() const { return captured_; }
  bool started() const { return started_at_.has_value(); }

 private:
  void Disconnected();

  ChainLimits limits_;
  std::optional<Verdict> verdict_;
  std::optional<int64_t> started_at_;
  std::optional<int64_t> reset_sent_at_;
  std::optional<int64_t> stalled_since_;
  int32_t last_code_ = 0;  // LastResponseCode at the last sample, before the handler now running
  bool captured_ = false;
  bool programming_started_ = false;
  bool complete_ = false;
  bool aborted_ = false;
  bool reset_answered_ = false;
};

}  // namespace quarnel::cli
