#pragma once
// The line the guided panel shows when a sequence has ended: in plain words
// how it ended and what to do next, and whether the unit is programmed, for
// the colour that tells success from failure at a glance.
#include <string>

#include "operations/sequence_outcome.h"

namespace quarnel {

struct ResultLine {
  std::string text;
  bool success = false;  // the unit is programmed and was reset
};

ResultLine ResultLineFor(const SequenceOutcome& outcome);

}  // namespace quarnel
