#include "app/cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quarnel::cli {
namespace {

constexpr double kMinMeasuringTimeS = 0.5;

std::string Duration(double seconds) {
  const auto total = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

}  // namespace

std::string FormatProgress(const ProgressSnapshot& p) {
  const int64_t total = std::max<int64_t>(p.blocks_total, 1);
  const int64_t sent = std::clamp<int64_t>(p.blocks_sent, 0, total);
  const int percent = static_cast<int>(sent * 100 / total);
  std::string text = "block " + std::to_string(sent) + " of " + std::to_string(total) + ", " +
                     std::to_string(percent) + "%, ";
  if (p.elapsed_s < kMinMeasuringTimeS || p.bytes_sent == 0) return text + "-- B/s, --:-- left";
  const double rate = static_cast<double>(p.bytes_sent) / p.elapsed_s;
  const uint64_t left_bytes = p.bytes_total > p.bytes_sent ? p.bytes_total - p.bytes_sent : 0;
  return text + std::to_string(std::llround(rate)) + " B/s, " +
         Duration(static_cast<double>(left_bytes) / rate) + " left";
}

void ProgressLine::Update(const ProgressSnapshot& progress, int64_t now_ms, bool force) {
  if (!enabled_) return;
  if (!force && shown_ && last_draw_ms_ && now_ms - *last_draw_ms_ < kRedrawMs) return;
  last_draw_ms_ = now_ms;
  text_ = "Programming: " + FormatProgress(progress);
  out_ << '\r' << text_ << "\x1b[K" << std::flush;
  shown_ = true;
}

void ProgressLine::Clear() {
  Suspend();
  text_.clear();
}

void ProgressLine::Suspend() {
  if (!shown_) return;
  out_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

void ProgressLine::Resume() {
  if (!enabled_ || shown_ || text_.empty()) return;
  out_ << '\r' << text_ << "\x1b[K" << std::flush;
  shown_ = true;
}

}  // namespace quarnel::cli
