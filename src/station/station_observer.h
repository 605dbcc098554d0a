#pragma once
// What a station front end is told: a live view, plain lines, JSON events,
// a window. Every call comes on the supervisor's thread, after the slot's
// state (Supervisor::Slots) has taken the news in.
#include <cstddef>
#include <string>

#include "station/child_events.h"
#include "station/slot_state.h"
#include "station/unit_result.h"

namespace quarnel::station {

class StationObserver {
 public:
  virtual ~StationObserver() = default;
  // An event of the slot's child, as it wrote it.
  virtual void ChildEventArrived(size_t /*slot*/, const TimedEvent& /*event*/) {}
  // A line of the child that is no event: its stderr, or a line that could
  // not be read (then `unreadable` says why).
  virtual void ChildTextArrived(size_t /*slot*/, const std::string& /*text*/,
                                const std::string& /*unreadable*/) {}
  // The supervisor's own word about a slot, for the operator.
  virtual void SlotNote(size_t /*slot*/, const std::string& /*text*/) {}
  // A unit was counted (or the slot's end noted, for a slot that took no
  // unit). `from_child` is false when the supervisor made the result
  // itself: the child could not start or ended without saying how.
  virtual void UnitRecorded(size_t /*slot*/, const UnitResult& /*result*/, bool /*from_child*/) {}
  // Anything of the slot's state changed.
  virtual void SlotChanged(size_t /*slot*/) {}
  // The station was asked to stop (first request).
  virtual void Stopping() {}
  // The station takes no new unit (its quota is reached, or it cannot keep
  // records): `reason` says why.
  virtual void Draining(const std::string& /*reason*/) {}
};

// Where a station's unit records go (the unit log). A record that cannot
// be kept now is held back whole, to be tried again.
class UnitRecordSink {
 public:
  virtual ~UnitRecordSink() = default;
  // False, with `error`, when the record was held back.
  virtual bool Keep(const SlotPlan& slot, const UnitResult& result, std::string& error) = 0;
  // Tries the records held back, in order; true when none is left.
  virtual bool Retry(std::string& error) = 0;
};

}  // namespace quarnel::station
