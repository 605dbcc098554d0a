#pragma once
// What a station knows of each of its slots, as plain data that front ends
// read: the port, what it does now, how far the unit under way is, the
// counts, and how the last unit ended.
#include <optional>
#include <string>

#include "operations/sequence_outcome.h"
#include "station/child_events.h"
#include "station/unit_result.h"

namespace quarnel::station {

// A slot as planned: its name and the port it programs through.
struct SlotPlan {
  std::string name;  // how the operator knows the slot (the port as given, or a recipe's name)
  std::string port;  // the port as given
  // The earlier slot that names the same device: this one takes no part.
  std::optional<size_t> duplicate_of;
};

enum class SlotActivity {
  kStarting,      // its child is started and has said nothing yet
  kRunning,       // its child runs: see `phase`
  kRestartPause,  // a child ended soon after its start: the next one waits a moment
  kDone,          // no further child: the run is over for this slot, or it cannot go on
};

struct SlotState {
  SlotPlan plan;
  SlotActivity activity = SlotActivity::kStarting;
  std::optional<SequencePhase> phase;     // the child's last phase
  std::optional<ProgressEvent> progress;  // while the image is sent
  int passed = 0;
  int failed = 0;
  std::optional<UnitResult> last;  // the last unit attempt (or how the slot ended)
  // The ID given to the slot's next unit (or to the unit under way, when it
  // had none): written into that unit's record, then cleared.
  std::optional<std::string> unit_id;
  // Why the slot stopped taking units when it could not go on; empty otherwise.
  std::string stopped_because;
};

}  // namespace quarnel::station
