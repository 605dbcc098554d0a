#include "ui/station/tile_state.h"

#include <algorithm>
#include <cstdio>

namespace quarnel::station_window {
namespace {

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Rate(int64_t bytes_per_s) {
  if (bytes_per_s >= 1000) return Fixed(static_cast<double>(bytes_per_s) / 1000.0, 1) + " kB/s";
  return std::to_string(bytes_per_s) + " B/s";
}

std::string Hex4(uint16_t word) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", word);
  return text;
}

}  // namespace

std::optional<double> SlotCounts::YieldPercent() const {
  if (Total() == 0) return std::nullopt;
  return 100.0 * static_cast<double>(passed) / static_cast<double>(Total());
}

TileActivity ActivityOf(const station::SlotState& slot) {
  switch (slot.activity) {
    case station::SlotActivity::kStarting:
      return TileActivity::kStarting;
    case station::SlotActivity::kRestartPause:
      return TileActivity::kPausing;
    case station::SlotActivity::kDone:
      return TileActivity::kStopped;
    case station::SlotActivity::kRunning:
      break;
  }
  if (!slot.phase) return TileActivity::kStarting;
  switch (*slot.phase) {
    case SequencePhase::kWaitingForAdapter:
      return TileActivity::kWaitingForAdapter;
    case SequencePhase::kOpening:
      return TileActivity::kOpening;
    case SequencePhase::kCapture:
      return TileActivity::kWaitingForUnit;
    case SequencePhase::kErase:
      return TileActivity::kErasing;
    case SequencePhase::kProgram:
      return TileActivity::kProgramming;
    case SequencePhase::kReset:
    case SequencePhase::kEnded:
      return TileActivity::kResetting;
  }
  return TileActivity::kStarting;
}

bool UnitUnderWay(TileActivity activity) {
  return activity == TileActivity::kErasing || activity == TileActivity::kProgramming ||
         activity == TileActivity::kResetting;
}

Verdict VerdictOf(const station::UnitResult& result, std::chrono::system_clock::time_point ended) {
  Verdict verdict;
  verdict.passed = result.exit_status == 0 && result.ending == SequenceEnding::kProgrammed;
  verdict.ending = result.ending;
  verdict.target_id = result.target_id == "?" ? "" : result.target_id;
  verdict.unit_id = result.unit_id;
  verdict.status = result.status;
  verdict.duration_ms = result.unit_elapsed_ms.value_or(result.elapsed_ms);
  verdict.ended = ended;
  return verdict;
}

int PercentOf(const station::ProgressEvent& progress) {
  const int64_t total = std::max<int64_t>(progress.blocks_total, 1);
  return static_cast<int>(std::clamp<int64_t>(progress.blocks_sent * 100 / total, 0, 100));
}

std::string ActivityWords(const TileState& tile) {
  switch (tile.activity) {
    case TileActivity::kIdle:
      return "station stopped";
    case TileActivity::kStarting:
      return "starting";
    case TileActivity::kWaitingForAdapter:
      return "waiting for the adapter";
    case TileActivity::kOpening:
      return "opening the port";
    case TileActivity::kWaitingForUnit:
      return "waiting for a unit";
    case TileActivity::kErasing:
      return "erasing";
    case TileActivity::kProgramming: {
      if (!tile.progress) return "programming";
      std::string words = "programming " + std::to_string(PercentOf(*tile.progress)) + " %";
      if (tile.progress->bytes_per_s) words += " at " + Rate(*tile.progress->bytes_per_s);
      return words;
    }
    case TileActivity::kResetting:
      return "resetting";
    case TileActivity::kPausing:
      return "waiting a moment";
    case TileActivity::kStopped:
      return tile.stopped_because.empty() ? "stopped" : "stopped: " + tile.stopped_because;
  }
  return "stopped";
}

std::string ReasonWords(const Verdict& verdict) {
  if (verdict.passed) return "";
  switch (verdict.ending) {
    case SequenceEnding::kProgrammed:
      return "the program for this port reported a fault";
    case SequenceEnding::kAbortedByTarget:
      return verdict.status ? "aborted by the unit (status " + Hex4(*verdict.status) + ")"
                            : "aborted by the unit";
    case SequenceEnding::kNoAnswerToCapture:
      return "no answer to the capture";
    case SequenceEnding::kNoAnswerToErase:
      return "no answer to an erase";
    case SequenceEnding::kNoAnswerToDataRecord:
      return "no answer to a data record";
    case SequenceEnding::kNoAnswerToReset:
      return "no answer to the reset";
    case SequenceEnding::kImageRefused:
      return "image refused";
    case SequenceEnding::kPortNotOpened:
      return "port could not be opened";
    case SequenceEnding::kPortLost:
      return "port lost";
    case SequenceEnding::kStoppedByOperator:
      return "stopped before the end";
    case SequenceEnding::kResetBeforeProgramming:
      return "reset before programming";
    case SequenceEnding::kStalled:
      return "stalled";
    case SequenceEnding::kFailed:
      return "failed";
    case SequenceEnding::kWrongTarget:
      return "wrong target " + verdict.target_id;
    case SequenceEnding::kEndedBySignal:
      return "the program for this port was ended";
    case SequenceEnding::kCouldNotStart:
      return "could not start";
  }
  return "failed";
}

std::string YieldWords(const SlotCounts& counts) {
  const std::optional<double> yield = counts.YieldPercent();
  return yield ? Fixed(*yield, 1) + " %" : "-";
}

std::string CountWords(const SlotCounts& counts) {
  return std::to_string(counts.passed) + " passed, " + std::to_string(counts.failed) +
         " failed, yield " + YieldWords(counts);
}

}  // namespace quarnel::station_window
