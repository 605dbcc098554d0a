#pragma once
// The progress line drawn in place on stderr while the image is sent.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace quarnel::cli {

struct ProgressSnapshot {
  int64_t blocks_sent = 0;
  int64_t blocks_total = 0;
  uint64_t bytes_sent = 0;
  uint64_t bytes_total = 0;
  double elapsed_s = 0;  // since the first block went out
};

// "block 123 of 2731, 4%, 812 B/s, 0:45 left"; rate and time left read "--"
// until there is enough time to measure.
std::string FormatProgress(const ProgressSnapshot& progress);

// Draws the line in place (carriage return, text, erase to the end of the
// line). Disabled (stderr not a terminal) it draws nothing.
class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

  // Redraws at most every `kRedrawMs`, unless `force`.
  void Update(const ProgressSnapshot& progress, int64_t now_ms, bool force = false);
  // Removes the line from the terminal; Update draws it again.
  void Clear();
  // Around a line printed to the same terminal: take the line away, then back.
  void Suspend();
  void Resume();
  bool Shown() const { return shown_; }

 private:
  static constexpr int64_t kRedrawMs = 100;
  std::ostream& out_;
  bool enabled_;
  bool shown_ = false;
  std::string text_;
  std::optional<int64_t> last_draw_ms_;
};

}  // namespace quarnel::cli
