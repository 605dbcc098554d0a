#pragma once
// The names that events and unit records give to endings and phases, and
// back: "programmed", "no_answer_to_capture", ...; "capture", "program", ...
#include <optional>
#include <string_view>

#include "operations/sequence_outcome.h"

namespace quarnel::station {

std::string_view EndingName(SequenceEnding ending);
// None for a name no ending has.
std::optional<SequenceEnding> EndingFromName(std::string_view name);

std::string_view PhaseName(SequencePhase phase);
std::optional<SequencePhase> PhaseFromName(std::string_view name);

}  // namespace quarnel::station
