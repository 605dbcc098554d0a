#pragma once
// What one slot's tile shows, as typed values: what the slot does now, how
// far its unit is, the last unit's verdict (kept until the slot's next unit
// starts), the ID scanned for it and its counts. The words come from these
// values and nowhere else.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "station/slot_state.h"
#include "station/unit_result.h"

namespace quarnel::station_window {

enum class TileActivity {
  kIdle,               // the station is not running
  kStarting,           // its program starts
  kWaitingForAdapter,  // the slot's adapter is not there
  kOpening,            // the port opens
  kWaitingForUnit,     // the capture is sent until a unit answers
  kErasing,
  kProgramming,
  kResetting,
  kPausing,  // a program ended soon after its start: the next one waits a moment
  kStopped,  // the slot takes no further unit
};

// A unit that ended on the slot.
struct Verdict {
  bool passed = false;
  SequenceEnding ending = SequenceEnding::kFailed;
  std::string target_id;
  std::optional<std::string> unit_id;
  std::optional<uint16_t> status;
  int64_t duration_ms = 0;
  std::chrono::system_clock::time_point ended{};
};

struct SlotCounts {
  int64_t passed = 0;
  int64_t failed = 0;
  int64_t Total() const { return passed + failed; }
  // None before the first unit.
  std::optional<double> YieldPercent() const;
};

struct TileState {
  std::string name;
  std::string port;
  TileActivity activity = TileActivity::kIdle;
  std::optional<station::ProgressEvent> progress;  // while the image is sent
  std::optional<Verdict> verdict;                  // the last unit's
  std::optional<std::string> unit_id;              // scanned for its next unit
  std::string target_id;                           // of the unit under way
  std::string stopped_because;                     // why a stopped slot stopped
  SlotCounts counts;
  bool chosen = false;  // the next scan goes to this slot
};

// What the slot does, from the supervisor's view of it.
TileActivity ActivityOf(const station::SlotState& slot);
// A unit is under way: its target answered the capture.
bool UnitUnderWay(TileActivity activity);
// The verdict of a recorded unit.
Verdict VerdictOf(const station::UnitResult& result, std::chrono::system_clock::time_point ended);

// Of the image's blocks sent, 0..100.
int PercentOf(const station::ProgressEvent& progress);

// "programming 42 % at 1.9 kB/s", "waiting for a unit", ...
std::string ActivityWords(const TileState& tile);
// Why a unit failed, in words: "no answer to a data record", "port lost",
// "wrong target 00C7", ...; empty for a unit that passed.
std::string ReasonWords(const Verdict& verdict);
// "12 passed, 1 failed, 92.3 % yield"
std::string CountWords(const SlotCounts& counts);
// "92.3 %"; "-" before the first unit.
std::string YieldWords(const SlotCounts& counts);

}  // namespace quarnel::station_window
